#pragma once
// The tree's context menu: on a file node the commands of the panel's two buttons (and the PNG
// conversions for RAW pictures), on a group node or the empty area of the tree the export of
// every file below it. The mouse, the context-menu key and Shift+F10 open it.
#include <functional>

#include <QObject>

class QMenu;
class QPoint;
class QTreeWidgetItem;

namespace wqtui {

class TreeCommands;

class TreeContextMenu : public QObject {
 public:
  // Watches the commands' tree; the menu is the tree's child "PM_Tree".
  TreeContextMenu(TreeCommands& commands, QObject* parent);

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The current node's menu, as the keyboard opens it.
  void openForCurrentNode();
  void open(QTreeWidgetItem* node, const QPoint& viewportPos);
  void addFileCommands();
  // A command of the menu; triggering it runs the handler inside the top-level handler.
  void add(const char* name, const QString& text, bool enabled, std::function<void()> handler);

  TreeCommands& commands_;
  QMenu* menu_;
};

}  // namespace wqtui
