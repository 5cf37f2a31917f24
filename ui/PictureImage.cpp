#include "ui/PictureImage.h"

#include <QList>

namespace wqtui {

QImage pictureImage(wqt::Picture&& picture) {
  if (picture.isNull()) return {};
  const bool indexed = picture.format == wqt::Picture::Format::Indexed8;
  // The image takes the decoded pixels over instead of copying them. A pixmap made from a
  // 32-bit image keeps drawing from that buffer for as long as it is shown, so the buffer lives
  // with the image's last copy and is freed by its cleanup.
  using Pixels = wqt::PixelBuffer;
  auto* pixels = new Pixels(std::move(picture.pixels));
  QImage image(
      pixels->data(), picture.width, picture.height, picture.bytesPerLine,
      indexed ? QImage::Format_Indexed8 : QImage::Format_RGB32,
      [](void* buffer) { delete static_cast<Pixels*>(buffer); }, pixels);
  if (indexed) image.setColorTable(QList<QRgb>(picture.palette.begin(), picture.palette.end()));
  return image;
}

}  // namespace wqtui
