// The "Файлы" page's information panel: what the selected node shows, its preview, and the
// import and export of the selected file.
#include <span>
#include <utility>
#include <vector>

#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTabWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "ops/entry_fit.h"
#include "ops/entry_preview.h"
#include "ops/entry_transfer.h"
#include "theme/theme_messages.h"
#include "ui/ErrorReport.h"
#include "ui/MainUnit.h"
#include "ui/PictureImage.h"

using wqt::RawFormat;

namespace {

// Pictures the fitting dialog reads: every format of the core's reader.
constexpr const char* kPictureFilter =
    "Рисунки (.jpg, .png, .bmp, .gif, .webp, .tif, .heic, .avif)|"
    "*.jpg;*.jpeg;*.png;*.bmp;*.gif;*.webp;*.tif;*.tiff;*.heic;*.heif;*.avif";

// The open and save dialogs' filter for a kind; a RAW picture exchanged as PNG takes PNG's.
QString dialogFilter(const wqt::KindInfo& kind, RawFormat as) {
  const bool png = as == RawFormat::Png && kind.kind == wqt::FileKind::Raw;
  const std::string_view filter = png ? wqtui::kPngFilter : kind.dialogFilter;
  return QString::fromUtf8(filter.data(), std::ssize(filter));
}

}  // namespace

const wqt::FileEntry* TMainForm::selectedFileEntry() const {
  return selected_ == Selected::File ? map_.entry(selectedEntry_) : nullptr;
}

wqtui::TreeCommands::SelectedFile TMainForm::selectedFile() const {
  const wqt::FileEntry* entry = selectedFileEntry();
  return {.exportable = entry != nullptr && entry->kind != wqt::EntryKind::Other &&
                        !doc_.entryData(selectedEntry_).empty(),
          .raw = wqt::entryHasSlot(map_, doc_, selectedEntry_) &&
                 map_.entry(selectedEntry_)->kind == wqt::EntryKind::Raw,
          .picture = entry != nullptr && wqt::fitTarget(*entry).has_value()};
}

bool TMainForm::isGroupNode(int displayIndex) const {
  const std::vector<wqt::TreeNode>& tree = map_.tree();
  return displayIndex >= 0 && static_cast<std::size_t>(displayIndex) < tree.size() &&
         !tree[static_cast<std::size_t>(displayIndex)].children.empty();
}

bool TMainForm::nodeTakesFile(int displayIndex) const {
  return !isGroupNode(displayIndex) &&
         wqt::entryHasSlot(map_, doc_, map_.entryOfNode(displayIndex));
}

bool TMainForm::isMissingFile(int displayIndex) const {
  return doc_.hasImage() && nodeTakesFile(displayIndex) &&
         doc_.entryData(map_.entryOfNode(displayIndex)).empty();
}

void TMainForm::markMissingFiles() {
  const QString missing = QString::fromUtf8(wqt::kMissingFileText);
  for (QTreeWidgetItemIterator it(TreeView); *it != nullptr; ++it) {
    const bool absent = isMissingFile(wqtui::displayIndexOf(*it));
    // Most nodes keep their mark: only a change touches the item.
    if ((*it)->data(0, Qt::AccessibleDescriptionRole).isValid() == absent) continue;
    (*it)->setIcon(0, absent ? missingIcon_ : QIcon());
    (*it)->setData(0, Qt::AccessibleDescriptionRole, absent ? QVariant(missing) : QVariant());
    (*it)->setToolTip(0, absent ? missing : QString());
  }
}

void TMainForm::selectFirstMissingFile() {
  for (QTreeWidgetItemIterator it(TreeView); *it != nullptr; ++it) {
    const int index = wqtui::displayIndexOf(*it);
    if (!isMissingFile(index)) continue;
    // The user's way there: the page switch shows the panel even when the node was current.
    PCtrl->setCurrentIndex(0);
    selectNode(index);
    return;
  }
}

void TMainForm::updateFilePanel() {
  const wqt::FileEntry* entry = selectedFileEntry();
  const bool exportable = selectedFile().exportable;
  PNL_IMG->setVisible(selected_ == Selected::File);
  // A file node without an entry leaves the group box, the buttons and the texts as the node
  // before it set them.
  if (entry != nullptr || selected_ != Selected::File) {
    GB_Info->setVisible(entry != nullptr);
    btn_load_img->setVisible(entry != nullptr);
    btn_save_img->setVisible(entry != nullptr);
  }
  lbl_9->setVisible(!exportable);
  btn_save_img->setEnabled(exportable);
  if (selected_ == Selected::Nothing) return;

  ED_FileSize->setText(QString::fromUtf8(wqt::sizeText(doc_.entryData(selectedEntry_).size())));
  if (entry == nullptr) return;
  ED_IMG_Format->setText(QString::fromStdString(map_.textUtf8(entry->kindName)));
  if (entry->kind == wqt::EntryKind::ColourTable) {
    ED_IMG_Width->clear();
    ED_IMG_Height->clear();
  } else if (entry->kind != wqt::EntryKind::Other) {
    // A kind the editor does not know keeps the dimensions the node before it showed.
    ED_IMG_Width->setText(QString::number(entry->width));
    ED_IMG_Height->setText(QString::number(entry->height));
  }
}

void TMainForm::TreeViewChange(QTreeWidgetItem* node) {
  const int index = wqtui::displayIndexOf(node);
  const bool group = isGroupNode(index);
  selectedNode_ = index;
  selectedEntry_ = map_.entryOfNode(index);
  selected_ = group ? Selected::Group : Selected::File;
  PNL_InFo->setVisible(!group);
  IMG->clear();
  updateFilePanel();
  if (const wqt::FileEntry* entry = selectedFileEntry()) showPreview(*entry);
}

void TMainForm::PCtrlChange(int index) {
  PNL_InFo->setVisible(index != 1);
}

void TMainForm::importFile(const QString& given, RawFormat as, Fitting fitting) {
  const std::int32_t e = selectedEntry_;
  const wqt::FileEntry* entry = map_.entry(e);
  const auto kind = entry != nullptr ? wqt::kindInfo(entry->kind) : std::nullopt;
  const auto target = entry != nullptr ? wqt::fitTarget(*entry) : std::nullopt;
  const bool fitted = fitting == Fitting::Always;
  // Refused before the dialog: there is nothing the file could go into.
  if (!(fitted ? target.has_value() : kind.has_value()) || !wqt::entryHasSlot(map_, doc_, e)) {
    dialogs_.infoMessage(QString::fromUtf8(wqt::kUnknownKindMessage));
    return;
  }
  const QString filter = fitted ? QString::fromUtf8(kPictureFilter) : dialogFilter(*kind, as);
  const QString chosen =
      !given.isEmpty() ? given : dialogs_.getOpenFileName(this, filter, QString());
  if (chosen.isEmpty()) return;

  const std::span<const std::uint8_t> held = doc_.entryData(e);
  std::vector<std::uint8_t> before(held.begin(), held.end());
  if (!fitted) {
    const wqt::ImportOutcome outcome = wqt::importFile(doc_, map_, e, wqtui::toPath(chosen), as);
    // A picture that is not exact for a JPG or RAW picture may go to the fitting dialog: a drop
    // goes there at once, the load button's refusal offers it.
    const bool fits = wqt::offersFitting(*entry, outcome.refusal, wqtui::toPath(chosen));
    if (fits && fitting == Fitting::Never && !outcome.error) {
      if (!dialogs_.infoMessageOfferingFit(QString::fromStdString(outcome.message))) return;
    } else if (!fits || fitting == Fitting::Never) {
      showImported(outcome, e, std::move(before));
      return;
    }
  }
  if (std::optional<std::vector<std::uint8_t>> bytes = dialogs_.fitPicture(this, *target, chosen))
    showImported(wqt::importBytes(doc_, map_, e, std::move(*bytes)), e, std::move(before));
}

bool TMainForm::showImported(const wqt::ImportOutcome& outcome, std::int32_t e,
                             std::vector<std::uint8_t> before) {
  if (!outcome.stored()) {
    // A JPEG the library rejects is an error of the command; every other refusal a message.
    if (outcome.error && outcome.error->code() == wqt::ErrorCode::Jpeg)
      wqtui::reportException(*outcome.error);
    else
      dialogs_.infoMessage(QString::fromStdString(outcome.message));
    return false;
  }
  recordImport(e, std::move(before));
  showStored(e);
  return true;
}

void TMainForm::showStored(std::int32_t e) {
  // The picture is replaced last: a preview that fails leaves the panel showing the new file.
  const bool shownFile = e == selectedEntry_ && selected_ == Selected::File;
  if (shownFile) updateFilePanel();
  Q_EMIT documentChanged(e);
  if (!shownFile) return;
  // An entry emptied again shows no picture.
  if (doc_.entryData(e).empty()) IMG->clear();
  showPreview(*map_.entry(e));
}

void TMainForm::editExternally() {
  // An empty slot has no picture to hand over.
  if (const SelectedFile file = selectedFile(); !file.picture || !file.exportable) return;
  externalEdit_.edit(selectedEntry_, *map_.entry(selectedEntry_), doc_.entryData(selectedEntry_));
}

void TMainForm::externalFileSaved(const wqtui::TExternalEditUpdate& update) {
  // A save that comes while the fitting dialog is open waits for it: saves go in in order.
  if (externalFitting_) {
    externalWaiting_.append(update);
    return;
  }
  const wqt::FileEntry* entry = map_.entry(update.entry);
  const auto target = entry != nullptr ? wqt::fitTarget(*entry) : std::nullopt;
  const std::span<const std::uint8_t> held = doc_.entryData(update.entry);
  std::vector<std::uint8_t> before(held.begin(), held.end());
  std::optional<wqt::ImportOutcome> outcome;
  if (update.kind == wqt::EntryKind::Jpg && !update.dimensionsMatch && entry != nullptr &&
      wqt::offersFitting(*entry, wqt::ImportRefusal::Dimensions, wqtui::toPath(update.path))) {
    // A JPEG saved at other dimensions is offered for fitting; cancelling keeps the theme.
    const QScopedValueRollback fitting(externalFitting_, true);
    if (std::optional<std::vector<std::uint8_t>> bytes =
            dialogs_.fitPicture(this, *target, update.path))
      outcome = wqt::importBytes(doc_, map_, update.entry, std::move(*bytes));
  } else {
    // The other program hands back PNG for a RAW picture; anything else not exact is refused by
    // the import's own checks.
    const RawFormat format = update.kind == wqt::EntryKind::Raw ? RawFormat::Png : RawFormat::Raw;
    outcome = wqt::importFile(doc_, map_, update.entry, wqtui::toPath(update.path), format);
  }
  if (outcome && showImported(*outcome, update.entry, std::move(before)))
    SBar_Panel1->setText(QStringLiteral("Файл обновлён из внешней программы."));
  if (!externalWaiting_.isEmpty()) externalFileSaved(externalWaiting_.takeFirst());
}

void TMainForm::exportFile(RawFormat as) {
  const std::int32_t e = selectedEntry_;
  const QString caption =
      selectedNode_ >= 0 ? QString::fromUtf8(map_.captionUtf8(selectedNode_)) : QString();
  const wqt::FileEntry* entry = map_.entry(e);
  const auto kind = entry != nullptr ? wqt::kindInfo(entry->kind) : std::nullopt;
  if (!kind || !wqt::entryHasSlot(map_, doc_, e)) return;
  const QString chosen = dialogs_.getSaveFileName(this, dialogFilter(*kind, as), caption);
  if (chosen.isEmpty()) return;
  wqt::exportEntry(doc_, map_, e, wqt::exportTarget(*entry, wqtui::toFileName(chosen), as), as);
}

void TMainForm::showPreview(const wqt::FileEntry& entry) {
  const std::span<const std::uint8_t> data = doc_.entryData(selectedEntry_);
  if (data.empty() || !wqt::hasPreview(entry)) return;
  wqt::Picture picture;
  try {
    picture = wqt::entryPreview(entry, data, wqt::scratchFilePath(mapPath_), lowColourScreen_);
  } catch (const wqt::JpegError& error) {
    // The view is cleared once the header has been read; a rejected header leaves it as it was.
    if (error.afterHeader()) IMG->clear();
    throw;
  }
  if (picture.isNull()) {
    IMG->clear();
    return;
  }
  // Drawn unscaled from the top-left corner; the view cuts it at its own bounds.
  IMG->setPixmap(QPixmap::fromImage(wqtui::pictureImage(std::move(picture))));
}
