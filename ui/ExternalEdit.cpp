#include "ui/ExternalEdit.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <QUrl>
#include <optional>
#include <string>
#include <system_error>

#include "base/core_error.h"
#include "base/file_io.h"
#include "base/xdg_dirs.h"
#include "ops/entry_preview.h"

namespace {

const char* const kOpenFailed = "Не удалось открыть файл во внешней программе:";

}  // namespace

namespace wqtui {

struct TExternalEdit::Watched {
  std::int32_t entry = -1;
  wqt::FileEntry fileEntry;
  std::vector<std::uint8_t> reported;  // what the file held when last written or reported
  std::optional<std::vector<std::uint8_t>> candidate;  // seen once, waiting to be seen again
  bool unreadableOnce = false;
  QTimer quiet;
};

TExternalEdit::TExternalEdit(QObject* parent) : QObject(parent) {
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &TExternalEdit::changed);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &TExternalEdit::folderChanged);
}

TExternalEdit::~TExternalEdit() {
  stop();
}

QString TExternalEdit::edit(std::int32_t entry, const wqt::FileEntry& fileEntry,
                            std::span<const std::uint8_t> stored) {
  if (folder_.empty()) {
    const auto cache = wqt::xdgDirs().cacheHome;
    if (cache.empty()) throw wqt::Error(kOpenFailed + std::string(" no cache folder"));
    // One folder a process, so two editors never share a file.
    folder_ =
        cache / wqt::kAppFolderName / "edit" / std::to_string(QCoreApplication::applicationPid());
  }
  // The copies are the user's pictures: for the user alone, as the folders that hold them.
  wqt::makePrivateFolders(folder_.parent_path().parent_path());
  wqt::makePrivateFolders(folder_);

  const bool jpg = fileEntry.kind == wqt::EntryKind::Jpg;
  const auto bytes = wqt::editableFile(fileEntry, stored);
  const auto file = folder_ / (std::to_string(entry) + (jpg ? ".jpg" : ".png"));
  wqt::writeFileReplacing(file, bytes, 0600);
  const QString path = QString::fromStdString(file.string());

  auto watched = std::make_shared<Watched>();
  watched->entry = entry;
  watched->fileEntry = fileEntry;
  watched->reported = bytes;
  watched->quiet.setSingleShot(true);
  watched->quiet.setInterval(kQuietMs);
  connect(&watched->quiet, &QTimer::timeout, this, [this, path] { check(path); });
  files_.insert(path, watched);
  watcher_.addPath(path);
  watcher_.addPath(QString::fromStdString(folder_.string()));

  // Platforms without desktop services (offscreen, minimal) refuse; xdg-open is what the desktop
  // platforms run for a local file too.
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)) &&
      !QProcess::startDetached(QStringLiteral("xdg-open"), {path}))
    throw wqt::Error(kOpenFailed + (" " + file.string()));
  return path;
}

void TExternalEdit::stop() {
  for (const auto& watched : std::as_const(files_)) watched->quiet.stop();
  files_.clear();
  if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
  if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  if (folder_.empty()) return;
  // Removing the scratch copies is best effort: a leftover in the cache harms nothing.
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void TExternalEdit::changed(const QString& path) {
  const auto it = files_.constFind(path);
  if (it == files_.constEnd()) return;
  // A file replaced by rename drops out of the watch; the new one is watched again.
  if (!watcher_.files().contains(path) && QFileInfo::exists(path)) watcher_.addPath(path);
  (*it)->quiet.start();
}

void TExternalEdit::folderChanged(const QString&) {
  for (auto it = files_.constBegin(); it != files_.constEnd(); ++it) changed(it.key());
}

void TExternalEdit::check(const QString& path) {
  const auto it = files_.constFind(path);
  if (it == files_.constEnd()) return;
  Watched& watched = **it;
  std::vector<std::uint8_t> bytes;
  try {
    bytes = wqt::readWholeFile(path.toStdString(), wqt::kPngFileLimit + 1);
  } catch (const wqt::Error&) {
    // Gone between writes (deleted before the new one is renamed in); the folder's event follows.
    return;
  }
  if (bytes == watched.reported) {
    watched.candidate.reset();
    return;
  }
  // A file counts as saved once two quiet spells in a row find the same bytes.
  if (!watched.candidate || *watched.candidate != bytes) {
    watched.candidate = bytes;
    watched.unreadableOnce = false;
    watched.quiet.start();
    return;
  }
  const auto size = wqt::completePicture(watched.fileEntry.kind, bytes);
  if (!size && !watched.unreadableOnce) {
    watched.unreadableOnce = true;
    watched.quiet.start();
    return;
  }
  // Still unreadable after another spell: reported all the same, for the import to refuse it.
  TExternalEditUpdate update;
  update.entry = watched.entry;
  update.kind = watched.fileEntry.kind;
  update.path = path;
  update.dimensionsMatch =
      size && size->width == watched.fileEntry.width && size->height == watched.fileEntry.height;
  update.bytes = std::move(bytes);
  watched.reported = update.bytes;
  watched.candidate.reset();
  Q_EMIT updated(update);
}

}  // namespace wqtui
