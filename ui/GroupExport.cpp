// "Сохранить все файлы...": every present file of a group, or of the whole theme, written into a
// folder with the command line's unpack layout.
#include <memory>

#include <QLabel>

#include "ops/theme_folder.h"
#include "ui/MainUnit.h"
#include "ui/UserDialogs.h"

namespace {

// Below this many files the operation ends before a progress window would be worth showing.
constexpr std::size_t kProgressFromFiles = 200;

const char* const kSavedStatus = "Сохранено файлов: %1";
const char* const kCancelledStatus =
    "Сохранение отменено. Сохранено файлов: %1 из %2, они остаются в папке.";
const char* const kFailedStatus = "Сохранение прервано ошибкой. Сохранено файлов: %1 из %2.";

}  // namespace

void TMainForm::saveAllFilesClick(int group) {
  const std::vector<wqt::LayoutItem> items = wqt::saveAllLayout(map_, doc_, group);
  const QString folder =
      dialogs_.getExistingDirectory(this, QStringLiteral("Выберите папку для сохранения файлов"));
  if (folder.isEmpty()) return;

  std::unique_ptr<wqtui::UserDialogs::Progress> progress;
  bool declined = false;
  std::size_t written = 0;
  wqt::WriteHooks hooks;
  hooks.confirmReplace = [&](const std::vector<std::filesystem::path>&) {
    declined = !dialogs_.question(QStringLiteral("Заменить существующие файлы?"));
    return !declined;
  };
  hooks.progress = [&](std::size_t done, std::size_t total) {
    written = done;
    // Opened once writing has begun, so the replace question never stands over it.
    if (progress == nullptr && total > kProgressFromFiles)
      progress = dialogs_.progress(this, QStringLiteral("Сохранение файлов..."), int(total));
    return progress == nullptr || progress->advance(static_cast<int>(done));
  };
  wqt::WriteResult result;
  try {
    result = wqt::saveAllFiles(doc_, items, wqtui::toPath(folder), hooks);
  } catch (...) {
    // The files written before the failing one stay; the error names that file.
    SBar_Panel1->setText(QString::fromUtf8(kFailedStatus).arg(written).arg(items.size()));
    throw;
  }
  // Declining to replace the files that exist writes nothing.
  if (declined) return;
  SBar_Panel1->setText(
      result.stopped ? QString::fromUtf8(kCancelledStatus).arg(result.written).arg(items.size())
                     : QString::fromUtf8(kSavedStatus).arg(result.written));
}
