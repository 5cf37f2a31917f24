#pragma once
// Files dropped on the window: a file on a file node of the tree is imported into it (a PNG on a
// RAW node converted), a theme file anywhere on the window is opened. While a drag is over the
// tree, the node a drop would import into is highlighted; a node that cannot take the file
// refuses the drop with the cursor before anything happens. A theme file dropped while the theme
// holds unsaved work is asked about first, as the open command asks.
#include <QObject>
#include <QStringList>

class QTreeWidgetItem;

namespace wqtui {

class TreeCommands;

class TreeDragDrop : public QObject {
 public:
  // Watches the window, the commands' tree and every control that takes drops of its own.
  TreeDragDrop(QWidget& window, TreeCommands& commands);

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool onTree(QEvent* event);
  bool onWindow(QObject* watched, QEvent* event);
  // Whether the drag carries exactly one theme file that the open command may open now.
  bool isThemeToOpen(const QStringList& files) const;
  void highlight(QTreeWidgetItem* node);

  QWidget& window_;
  TreeCommands& commands_;
  QTreeWidgetItem* highlighted_ = nullptr;
};

}  // namespace wqtui
