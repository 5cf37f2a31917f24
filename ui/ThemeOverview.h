#pragma once
// The theme at a glance: a window showing every picture of the theme at its real size, grouped
// as the tree groups them, with each file's caption and size. It reads the map and the document
// the main window edits and is told when an entry changes.
#include <cstdint>
#include <filesystem>
#include <vector>

#include <QImage>
#include <QWidget>

#include "map/theme_map.h"
#include "theme/theme_document.h"

class QScrollArea;
class QVBoxLayout;

namespace wqtui {

class UserDialogs;

inline constexpr const char* kThemeOverviewTitle = "Обзор темы";
inline constexpr const char* kMissingFileText = "Файл отсутствует!";
inline constexpr const char* kSaveOverviewText = "Сохранить обзор как PNG...";

class TThemeOverview : public QWidget {
  Q_OBJECT

 public:
  // The map and the document must outlive the overview. JPEG previews go through the scratch
  // file and are decoded as the main window decodes them (lowColourScreen as there).
  TThemeOverview(const wqt::ThemeMap& map, const wqt::ThemeDocument& doc,
                 std::filesystem::path scratchFile, bool lowColourScreen, UserDialogs& dialogs,
                 QWidget* parent = nullptr);

  // Builds every file's view afresh, for a theme opened or created, or a map read again.
  void rebuild();
  // The same once control returns to the event loop, however often it is asked for until then:
  // a theme opened reads the map and the file one after the other.
  void rebuildLater();
  // Shows the entry's slot as it is now, in every node of that entry.
  void refreshEntry(std::int32_t entry);

  // The whole overview as it is shown, scrolled-out parts included.
  QImage overviewImage() const;
  // Asks for a file name and writes overviewImage() there as PNG.
  void saveAsPng();

 Q_SIGNALS:
  // A file was clicked: its node's display index.
  void nodeClicked(int displayIndex);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct FileView {
    int node;
    std::int32_t entry;
    QWidget* frame;          // caption, size and picture box
    QWidget* box = nullptr;  // the picture, or the missing-file or error box; JPG and RAW only
    QSize naturalSize;       // the box's size when the window is wide enough
  };

  void addNode(int displayIndex, int depth);
  void addFile(int displayIndex);
  void fillFile(FileView& view);
  void fitBox(const FileView& view, int available) const;
  // The entry's preview as the main window shows it.
  QImage decodeEntry(std::int32_t entry) const;
  int availableWidth() const;

  const wqt::ThemeMap& map_;
  const wqt::ThemeDocument& doc_;
  std::filesystem::path scratchFile_;
  bool lowColourScreen_;
  UserDialogs& dialogs_;
  QScrollArea* scroll_;
  QWidget* content_ = nullptr;
  QVBoxLayout* contentLayout_ = nullptr;
  std::vector<FileView> files_;
  bool rebuildPending_ = false;
};

}  // namespace wqtui
