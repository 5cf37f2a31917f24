#include "fit/rgba_rows.h"

#include "fit/fit_geometry.h"

namespace wqt {

void refuseOverPixelCap(std::uint64_t width, std::uint64_t height) {
  if (width > kMaxSourceSide || height > kMaxSourceSide || width * height > kMaxSourcePixels) {
    throw SourceError(kPictureTooLargeMessage);
  }
}

std::string unreadablePictureMessage(const char* format) {
  return std::string("Файл ") + format +
         " повреждён или записан так, как программа не читает. Загрузка невозможна.";
}

RgbaRows::RgbaRows(int width, int height, const SourceRequest& request, int orientation,
                   std::span<const std::uint8_t> icc, bool anyOrder)
    : width_(width),
      height_(height),
      swap_(swapsAxes(normalOrientation(orientation))),
      profile_(ColourTransform::fromProfile(icc, ColourTransform::Layout::Rgba)) {
  const int factor = reductionFactor(
      width, height,
      minimumReadScale(swap_ ? height : width, swap_ ? width : height, request.target));
  if (anyOrder) {
    blocks_.emplace(width, height, factor, request.background);
  } else {
    rows_.emplace(width, height, factor, orientation, request.background);
  }
  if (profile_) converted_.resize(std::size_t(width) * 4);
}

void RgbaRows::row(int y, const std::uint8_t* rgba) {
  if (profile_) {
    profile_.toRgba(rgba, converted_.data(), width_);
    rgba = converted_.data();
  }
  if (blocks_) {
    blocks_->add(y, 0, 1, rgba);
  } else {
    rows_->push(rgba);
  }
}

SourcePicture RgbaRows::finish() {
  Picture pixels = blocks_ ? blocks_->finish() : rows_->finish();
  return {std::move(pixels), swap_ ? height_ : width_, swap_ ? width_ : height_};
}

}  // namespace wqt
