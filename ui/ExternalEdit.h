#pragma once
// Editing a picture in the desktop's default program for its type: the file is written to the
// cache folder, opened there, and watched; each time the program has saved it the new content is
// handed on for the window to import.
#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "map/theme_map.h"

namespace wqtui {

// What the other program saved for one entry.
struct TExternalEditUpdate {
  std::int32_t entry = -1;
  wqt::EntryKind kind = wqt::EntryKind::Other;
  QString path;
  std::vector<std::uint8_t> bytes;  // JPEG for a JPG entry, PNG for a RAW one
  // The picture still has the entry's width and height; a JPEG that lost them is for fitting.
  bool dimensionsMatch = false;
};

class TExternalEdit : public QObject {
  Q_OBJECT

 public:
  // How long a file must stay quiet before it is looked at.
  static constexpr int kQuietMs = 300;

  explicit TExternalEdit(QObject* parent = nullptr);
  ~TExternalEdit() override;

  // Writes the entry's file (stored JPEG bytes for JPG; the RAW slot as PNG) to the cache folder,
  // opens it with the default program and watches it. Returns the file's path. Throws wqt::Error
  // when the file cannot be written or no program could be started.
  QString edit(std::int32_t entry, const wqt::FileEntry& fileEntry,
               std::span<const std::uint8_t> stored);

  // Stops watching and removes the files written for editing.
  void stop();

  bool watching() const { return !files_.isEmpty(); }

 Q_SIGNALS:
  void updated(const TExternalEditUpdate& update);

 private:
  struct Watched;

  void changed(const QString& path);
  void folderChanged(const QString& folder);
  void check(const QString& path);

  QFileSystemWatcher watcher_;
  QHash<QString, std::shared_ptr<Watched>> files_;
  std::filesystem::path folder_;  // this process's own folder under the cache folder
};

}  // namespace wqtui
