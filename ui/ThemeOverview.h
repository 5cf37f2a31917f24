#pragma once
// The theme at a glance: a window showing every picture of the theme at its real size, grouped
// as the tree groups them, with each file's caption and size. It reads the map and the document
// the main window edits and is told when an entry changes.
#include <cstdint>
#include <filesystem>
#include <vector>

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

#include "map/theme_map.h"
#include "theme/theme_document.h"

class QScrollArea;

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

  // The whole overview as it is shown, scrolled-out parts included, below the theme's name,
  // author and version.
  QImage overviewImage();
  // Asks for a file name and writes overviewImage() there as PNG.
  void saveAsPng();

 Q_SIGNALS:
  // A file was clicked: its node's display index.
  void nodeClicked(int displayIndex);
  // saveAsPng wrote the overview into this file.
  void saved(const QString& file);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // A group's heading or a file: its caption and size, and for JPG and RAW a box below with the
  // picture, or a text in its place. Its widget is made when it first comes near the view, so a
  // theme of thousands of files opens at once; until then only its place is known.
  struct Item {
    enum class Box { None, Picture, Text };
    int node = 0;
    bool heading = false;  // a group's, else a file's
    std::int32_t entry = -1;
    int depth = 0;
    Box box = Box::None;
    QString boxText;        // the missing file, or why the picture cannot be shown
    QSize naturalSize;      // the box's size when the window is wide enough
    int captionLength = 0;  // in characters
    QRect place;            // in the content
    QWidget* widget = nullptr;
  };

  void addNode(int displayIndex, int depth);
  // What the item's box is and its natural size, from the map and the JPEG's header alone.
  void measure(Item& item);
  // The size of a text box at least `least`; the missing-file box, always alike, is measured once.
  QSize textBoxSize(const QString& text, QSize least, bool missing);
  QSize boxSize(const Item& item, int available) const;
  // A file's caption: its node's and its size.
  QString captionOf(const Item& item) const;
  QFont headingFont(int depth) const;
  // Places every item for the window's width and moves the widgets already made: files side by
  // side in as many columns as the width takes, each group's heading across it.
  void layOut();
  // Makes the widgets of the items in (or a view's height about) the visible part.
  void makeVisible();
  void makeWidgets(const QRect& area);
  QWidget* makeWidget(const Item& item);
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
  std::vector<Item> items_;
  QSize missingBoxHint_;  // the missing-file box's own size, the same for every file
  bool rebuildPending_ = false;
};

}  // namespace wqtui
