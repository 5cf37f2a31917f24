// The "Файлы" page's information panel: what the selected node shows, its preview, and the
// import and export of the selected file.
#include <string>
#include <utility>
#include <vector>

#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>

#include "files/file_kind.h"
#include "files/import_export.h"
#include "files/jpeg_decoder.h"
#include "files/png_picture.h"
#include "files/preview.h"
#include "base/file_io.h"
#include "base/paths.h"
#include "theme/theme_messages.h"
#include "ui/ErrorReport.h"
#include "ui/MainUnit.h"
#include "ui/PngImport.h"

using wqtui::PictureFile;
using wqtui::toFileName;
using wqtui::toPath;

namespace {

// RAW pictures exchanged as PNG pictures.
constexpr std::string_view kPngFilter = "PNG-изображение (.png)|*.png";
constexpr std::string_view kPngExtension = ".png";

}  // namespace

// ---------------------------------------------------------------------------------------------
// Selection rules and page switch

QString TMainForm::mapText(const std::string& bytes) const {
  return QString::fromStdString(map_.textUtf8(bytes));
}

std::size_t TMainForm::slotSizeOfEntry(std::int32_t entry) const {
  const std::int64_t slot = static_cast<std::int64_t>(entry) + 1;
  // Slot 0 exists and is always empty; an entry beyond the slot store has no data.
  if (slot <= 0 || static_cast<std::size_t>(slot) > doc_.slotCount()) return 0;
  return doc_.slot(static_cast<std::size_t>(slot)).size();
}

const wqt::FileEntry* TMainForm::selectedFileEntry() const {
  const std::int32_t e = selectedEntry_;
  if (selected_ != Selected::File || e < 0 || static_cast<std::size_t>(e) >= map_.entries().size())
    return nullptr;
  return &map_.entries()[static_cast<std::size_t>(e)];
}

bool TMainForm::selectedFileExportable() const {
  const wqt::FileEntry* entry = selectedFileEntry();
  return entry != nullptr && wqt::kindInfo(entry->kind) && slotSizeOfEntry(selectedEntry_) > 0;
}

bool TMainForm::selectedFileIsRaw() const {
  if (!wqt::entryHasSlot(map_, doc_, selectedEntry_)) return false;
  const auto kind = wqt::kindInfo(map_.entries()[static_cast<std::size_t>(selectedEntry_)].kind);
  return kind && kind->kind == wqt::FileKind::Raw;
}

bool TMainForm::nodeTakesFile(int displayIndex) const {
  if (displayIndex < 0 || static_cast<std::size_t>(displayIndex) >= map_.tree().size()) return false;
  if (!map_.tree()[static_cast<std::size_t>(displayIndex)].children.empty()) return false;
  return wqt::entryHasSlot(map_, doc_, map_.entryOfNode(displayIndex));
}

void TMainForm::updateFilePanel() {
  const wqt::FileEntry* entry = selectedFileEntry();
  const bool exportable = selectedFileExportable();
  switch (selected_) {
    case Selected::Nothing:
    case Selected::Group:
      GB_Info->hide();
      PNL_IMG->hide();
      btn_load_img->hide();
      btn_save_img->hide();
      break;
    case Selected::File:
      PNL_IMG->show();
      // A file node without an entry leaves the group box and the texts as the node before it
      // set them.
      if (entry == nullptr) break;
      GB_Info->show();
      btn_load_img->show();
      btn_save_img->show();
      break;
  }
  lbl_9->setVisible(!exportable);
  btn_save_img->setEnabled(exportable);
  if (selected_ == Selected::Nothing) return;

  ED_FileSize->setText(QString::fromUtf8(wqt::sizeText(slotSizeOfEntry(selectedEntry_))));
  if (entry == nullptr) return;
  ED_IMG_Format->setText(mapText(entry->kindName));
  // A kind the editor does not know keeps the dimensions the node before it showed.
  const auto kind = wqt::kindInfo(entry->kind);
  if (!kind) return;
  if (kind->kind == wqt::FileKind::ColourTable) {
    ED_IMG_Width->clear();
    ED_IMG_Height->clear();
  } else {
    ED_IMG_Width->setText(QString::number(entry->width));
    ED_IMG_Height->setText(QString::number(entry->height));
  }
}

void TMainForm::TreeViewChange(QTreeWidgetItem* node) {
  const int index = wqtui::displayIndexOf(node);
  selectedNode_ = index;
  selectedEntry_ = map_.entryOfNode(index);
  const bool group = index >= 0 && static_cast<std::size_t>(index) < map_.tree().size() &&
                     !map_.tree()[static_cast<std::size_t>(index)].children.empty();
  selected_ = group ? Selected::Group : Selected::File;
  PNL_InFo->setVisible(!group);
  IMG->clear();
  updateFilePanel();
  if (const wqt::FileEntry* entry = selectedFileEntry()) showPreview(*entry);
}

void TMainForm::PCtrlChange(int index) {
  PNL_InFo->setVisible(index != 1);
}

// ---------------------------------------------------------------------------------------------
// Import and export of the selected file

void TMainForm::btn_load_imgClick() {
  importFile(QString(), PictureFile::Native);
}

void TMainForm::importFile(const QString& given, PictureFile as) {
  const std::int32_t e = selectedEntry_;
  if (!wqt::entryHasSlot(map_, doc_, e)) {
    dialogs_.infoMessage(QString::fromUtf8(wqt::kUnknownKindMessage));
    return;
  }
  const wqt::FileEntry entry = map_.entries()[static_cast<std::size_t>(e)];
  const auto kind = wqt::kindInfo(entry.kind);
  if (!kind) {
    dialogs_.infoMessage(QString::fromUtf8(wqt::kUnknownKindMessage));
    return;
  }
  const bool png = as == PictureFile::Png && kind->kind == wqt::FileKind::Raw;
  const QString chosen = !given.isEmpty()
                             ? given
                             : dialogs_.getOpenFileName(this, dialogFilter(*kind, png), QString());
  if (chosen.isEmpty()) return;

  wqt::ImportCandidate candidate =
      png ? wqtui::checkPngImport(entry, toPath(chosen)) : wqt::checkImport(entry, toPath(chosen));
  if (candidate.refusal) {
    dialogs_.infoMessage(QString::fromUtf8(*candidate.refusal));
    return;
  }
  doc_.replaceSlot(static_cast<std::size_t>(e) + 1, std::move(candidate.bytes));
  // The picture is replaced last: a preview that fails leaves the panel showing the new file.
  updateFilePanel();
  showPreview(entry);
}

void TMainForm::btn_save_imgClick() {
  exportFile(PictureFile::Native);
}

void TMainForm::exportFile(PictureFile as) {
  const std::int32_t e = selectedEntry_;
  const QString caption =
      selectedNode_ >= 0 ? QString::fromUtf8(map_.captionUtf8(selectedNode_)) : QString();
  if (!wqt::entryHasSlot(map_, doc_, e)) return;
  const wqt::FileEntry& entry = map_.entries()[static_cast<std::size_t>(e)];
  const auto kind = wqt::kindInfo(entry.kind);
  if (!kind) return;
  const bool png = as == PictureFile::Png && kind->kind == wqt::FileKind::Raw;
  const QString chosen = dialogs_.getSaveFileName(this, dialogFilter(*kind, png), caption);
  if (chosen.isEmpty()) return;
  const std::string target =
      wqt::exportFileName(toFileName(chosen), png ? kPngExtension : kind->exportExtension);
  const std::vector<std::uint8_t>& slot = doc_.slot(static_cast<std::size_t>(e) + 1);
  if (png) {
    wqt::writeFileReplacing(target, wqt::rawToPng(entry, slot));
  } else {
    wqt::exportSlot(slot, target);
  }
}

QString TMainForm::dialogFilter(const wqt::KindInfo& kind, bool png) {
  const std::string_view filter = png ? kPngFilter : kind.dialogFilter;
  return QString::fromUtf8(filter.data(), std::ssize(filter));
}

void TMainForm::infoMessage(const QString& text) {
  dialogs_.infoMessage(text);
}

// ---------------------------------------------------------------------------------------------
// The preview

void TMainForm::showPreview(const wqt::FileEntry& entry) {
  const std::size_t slot = static_cast<std::size_t>(selectedEntry_) + 1;
  if (slotSizeOfEntry(selectedEntry_) == 0) return;
  const auto kind = wqt::kindInfo(entry.kind);
  if (kind && kind->kind == wqt::FileKind::Jpg) showJpegPreview(slot);
  if (kind && kind->kind == wqt::FileKind::Raw) showRawPreview(entry, slot);
}

void TMainForm::showPicture(wqt::Picture&& picture) {
  if (picture.isNull()) {
    IMG->clear();
    return;
  }
  const bool indexed = picture.format == wqt::Picture::Format::Indexed8;
  // The image takes the decoded pixels over instead of copying them. A pixmap made from a
  // 32-bit image keeps drawing from that buffer for as long as it is shown, so the buffer lives
  // with the image's last copy and is freed by its cleanup.
  using Pixels = std::vector<std::uint8_t>;
  auto* pixels = new Pixels(std::move(picture.pixels));
  QImage image(
      pixels->data(), picture.width, picture.height, picture.bytesPerLine,
      indexed ? QImage::Format_Indexed8 : QImage::Format_RGB32,
      [](void* buffer) { delete static_cast<Pixels*>(buffer); }, pixels);
  if (indexed) image.setColorTable(QList<QRgb>(picture.palette.begin(), picture.palette.end()));
  // Drawn unscaled from the top-left corner; the view cuts it at its own bounds.
  IMG->setPixmap(QPixmap::fromImage(std::move(image)));
}

void TMainForm::showJpegPreview(std::size_t slot) {
  try {
    showPicture(
        wqt::jpegPreview(doc_.slot(slot), wqt::scratchFilePath(mapPath_), lowColourScreen_));
  } catch (const wqt::JpegError& error) {
    // The view is cleared once the header has been read; a rejected header leaves it as it was.
    if (error.afterHeader()) IMG->clear();
    throw;
  }
}

void TMainForm::showRawPreview(const wqt::FileEntry& entry, std::size_t slot) {
  showPicture(wqt::rawPreview(entry, doc_.slot(slot)));
}
