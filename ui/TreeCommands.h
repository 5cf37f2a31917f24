#pragma once
// What the tree's context menu and its drag and drop may ask of the window: the few commands
// they run and the facts about the selection they offer them by.
#include <QString>

#include "files/unpack_layout.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace wqtui {

class TreeCommands {
 public:
  virtual QTreeWidget& tree() const = 0;
  virtual bool hasTheme() const = 0;
  // Whether the selected file node holds data to export, and whether it is a RAW picture.
  virtual bool selectedFileExportable() const = 0;
  virtual bool selectedFileIsRaw() const = 0;
  // Whether the node at a display index is a file node that takes an imported file.
  virtual bool nodeTakesFile(int displayIndex) const = 0;
  // Whether a theme file may be opened at all (the map was there at start-up).
  virtual bool mayOpenTheme() const = 0;

  // Imports into the selected file node the given file, or one the open dialog asks for when
  // none is given; exports the selected file. A RAW picture goes as a PNG picture with
  // RawFormat::Png, any other kind as its own bytes.
  virtual void importFile(const QString& given, wqt::RawFormat as) = 0;
  virtual void exportFile(wqt::RawFormat as) = 0;
  // Writes every present file of a group (a display index; -1 for the whole theme) into a folder
  // the user picks.
  virtual void saveAllFilesClick(int group) = 0;
  // Whether the current theme may be replaced: asks about unsaved work.
  virtual bool mayDropTheme() = 0;
  virtual void openThemeFile(const QString& fileName) = 0;
  virtual void infoMessage(const QString& text) = 0;

 protected:
  ~TreeCommands() = default;
};

// The display index a tree node was built for.
int displayIndexOf(const QTreeWidgetItem* node);

}  // namespace wqtui
