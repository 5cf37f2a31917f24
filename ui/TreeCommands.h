#pragma once
// The tree's context menu and its drag and drop, and what they may ask of the window: the few
// commands they run and the facts about the selection they offer them by.
#include <QString>

#include "ops/entry_transfer.h"

class QObject;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace wqtui {

class TreeCommands {
 public:
  virtual QTreeWidget& tree() const = 0;
  virtual bool hasTheme() const = 0;
  // What the selected file node is: whether it holds data to export, whether it is a RAW picture,
  // and whether it is a JPG or RAW picture (one a picture can be fitted to and another program may
  // edit).
  struct SelectedFile {
    bool exportable = false;
    bool raw = false;
    bool picture = false;
  };
  virtual SelectedFile selectedFile() const = 0;
  // Whether the node at a display index is a file node that takes an imported file.
  virtual bool nodeTakesFile(int displayIndex) const = 0;
  // Whether a theme file may be opened at all (the map was there at start-up).
  virtual bool mayOpenTheme() const = 0;

  // When a picture for a JPG or RAW picture goes through the fitting dialog: never, when the
  // picture is of another size or format (a dropped file), or always.
  enum class Fitting { Never, OnMismatch, Always };
  // Imports into the selected file node the given file, or one the open dialog asks for when
  // none is given; exports the selected file. A RAW picture goes as a PNG picture with
  // RawFormat::Png, any other kind as its own bytes.
  virtual void importFile(const QString& given, wqt::RawFormat as, Fitting fitting) = 0;
  virtual void exportFile(wqt::RawFormat as) = 0;
  // Opens the selected picture in the desktop's default program and imports each of its saves.
  virtual void editExternally() = 0;
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

// The tree's context menu, owned by `parent`; the menu is the tree's child "PM_Tree".
void installTreeContextMenu(TreeCommands& commands, QObject* parent);
// Drops on the window, owned by it: watches the window, the commands' tree and every control
// that takes drops of its own.
void installTreeDragDrop(QWidget& window, TreeCommands& commands);

}  // namespace wqtui
