// The tree's context menu: on a file node the commands of the panel's two buttons (and the PNG
// conversions for RAW pictures), on a group node or the empty area of the tree the export of
// every file below it. The mouse, the context-menu key and Shift+F10 open it.
#include <functional>

#include <QContextMenuEvent>
#include <QMenu>
#include <QShortcut>
#include <QTreeWidget>

#include "ui/ErrorReport.h"
#include "ui/TreeCommands.h"

namespace wqtui {

namespace {

class TreeContextMenu : public QObject {
 public:
  TreeContextMenu(TreeCommands& commands, QObject* parent)
      : QObject(parent), commands_(commands), menu_(new QMenu(&commands.tree())) {
    menu_->setObjectName(QStringLiteral("PM_Tree"));
    QTreeWidget* tree = &commands_.tree();
    tree->installEventFilter(this);
    tree->viewport()->installEventFilter(this);
    // The context-menu key arrives as a keyboard context-menu event; Shift+F10 does not.
    auto* shiftF10 = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), tree);
    shiftF10->setObjectName(QStringLiteral("PM_Tree_Shortcut"));
    shiftF10->setContext(Qt::WidgetShortcut);
    connect(shiftF10, &QShortcut::activated, this, [this] { openForCurrentNode(); });
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ContextMenu) return false;
    auto* request = static_cast<QContextMenuEvent*>(event);
    if (request->reason() == QContextMenuEvent::Keyboard) {
      openForCurrentNode();
    } else {
      // The node at the point of the tree's viewport.
      QWidget* viewport = commands_.tree().viewport();
      const QPoint at = viewport->mapFrom(static_cast<QWidget*>(watched), request->pos());
      open(commands_.tree().itemAt(at), at);
    }
    return true;
  }

 private:
  // The current node's menu, as the keyboard opens it.
  void openForCurrentNode() {
    QTreeWidget* tree = &commands_.tree();
    QTreeWidgetItem* node = tree->currentItem();
    if (node != nullptr) tree->scrollToItem(node);
    open(node, node != nullptr ? tree->visualItemRect(node).bottomLeft() : QPoint(0, 0));
  }

  void open(QTreeWidgetItem* node, const QPoint& viewportPos) {
    QTreeWidget* tree = &commands_.tree();
    // Without a theme in the tree there is nothing to act on.
    if (!commands_.hasTheme() || tree->topLevelItemCount() == 0) return;
    menu_->clear();
    if (node != nullptr) {
      // The node is selected first, so the panel shows what the commands act on.
      tree->setCurrentItem(node);
      if (tree->currentItem() != node) return;
    }
    if (node != nullptr && node->childCount() == 0) {
      addFileCommands();
    } else {
      // The display index, not the node: the command must not hold a node the tree may drop.
      const int index = node != nullptr ? displayIndexOf(node) : -1;
      add("PM_SaveAllFiles", QStringLiteral("Сохранить все файлы..."), true,
          [this, index] { commands_.saveAllFilesClick(index); });
    }
    menu_->popup(tree->viewport()->mapToGlobal(viewportPos));
  }

  void addFileCommands() {
    TreeCommands& c = commands_;
    // The export commands are offered exactly where the panel's export button is.
    const TreeCommands::SelectedFile file = c.selectedFile();
    add("PM_LoadFile", QStringLiteral("Загрузить..."), true,
        [&c] { c.importFile(QString(), wqt::RawFormat::Raw, TreeCommands::Fitting::Never); });
    if (file.picture)
      add("PM_LoadFitted", QStringLiteral("Загрузить с подгонкой..."), true,
          [&c] { c.importFile(QString(), wqt::RawFormat::Raw, TreeCommands::Fitting::Always); });
    add("PM_SaveFile", QStringLiteral("Сохранить..."), file.exportable,
        [&c] { c.exportFile(wqt::RawFormat::Raw); });
    if (file.picture)
      add("PM_EditExternally", QStringLiteral("Редактировать во внешней программе"),
          file.exportable, [&c] { c.editExternally(); });
    if (!file.raw) return;
    menu_->addSeparator();
    add("PM_LoadPng", QStringLiteral("Загрузить из PNG..."), true,
        [&c] { c.importFile(QString(), wqt::RawFormat::Png, TreeCommands::Fitting::Never); });
    add("PM_SavePng", QStringLiteral("Сохранить как PNG..."), file.exportable,
        [&c] { c.exportFile(wqt::RawFormat::Png); });
  }

  // A command of the menu; triggering it runs the handler inside the top-level handler.
  void add(const char* name, const QString& text, bool enabled, std::function<void()> handler) {
    QAction* action = menu_->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setEnabled(enabled);
    connect(action, &QAction::triggered, this, [handler] { runHandler(handler); });
  }

  TreeCommands& commands_;
  QMenu* menu_;
};

}  // namespace

void installTreeContextMenu(TreeCommands& commands, QObject* parent) {
  new TreeContextMenu(commands, parent);
}

}  // namespace wqtui
