// Files dropped on the window: a file on a file node of the tree is imported into it (a PNG on a
// RAW node converted), a theme file anywhere on the window is opened. While a drag is over the
// tree, the node a drop would import into is highlighted; a node that cannot take the file
// refuses the drop with the cursor before anything happens. A theme file dropped while the theme
// holds unsaved work is asked about first, as the open command asks.
#include <algorithm>

#include <QApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QStringList>
#include <QTreeWidget>
#include <QUrl>

#include "ui/ErrorReport.h"
#include "ui/TreeCommands.h"

namespace wqtui {

namespace {

// Accepts or refuses the drag at its position; a refused one shows the no-drop cursor.
void answer(QDropEvent* event, bool accept) {
  if (accept) event->setDropAction(Qt::CopyAction);
  event->setAccepted(accept);
}

bool isDragEvent(QEvent::Type type) {
  return type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop;
}

// The local files a drag carries; empty when it carries anything else as well.
QStringList droppedFiles(const QDropEvent& event) {
  const QMimeData* mime = event.mimeData();
  if (mime == nullptr || !mime->hasUrls()) return {};
  QStringList files;
  for (const QUrl& url : mime->urls()) {
    if (!url.isLocalFile()) return {};
    files << url.toLocalFile();
  }
  return files;
}

class TreeDragDrop : public QObject {
 public:
  TreeDragDrop(QWidget& window, TreeCommands& commands)
      : QObject(&window), window_(window), commands_(commands) {
    QWidget* viewport = commands_.tree().viewport();
    // Controls that take drops of their own (the edit boxes take text) still open a theme file.
    for (QWidget* control : window_.findChildren<QWidget*>())
      if (control != viewport && control->acceptDrops()) control->installEventFilter(this);
    window_.setAcceptDrops(true);
    window_.installEventFilter(this);
    viewport->setAcceptDrops(true);
    viewport->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    // Only drags are looked at: other events come while the window is being destroyed too.
    if (!isDragEvent(event->type()) && event->type() != QEvent::DragLeave) return false;
    // While a dialog or the progress window of a running command is open, the theme must not
    // change under it: nothing is taken.
    if (QApplication::activeModalWidget() != nullptr && event->type() != QEvent::DragLeave) {
      static_cast<QDropEvent*>(event)->ignore();
      return true;
    }
    return watched == commands_.tree().viewport() ? onTree(event) : onWindow(watched, event);
  }

 private:
  bool onTree(QEvent* event) {
    if (event->type() == QEvent::DragLeave) {
      highlight(nullptr);
      return true;
    }
    auto* drag = static_cast<QDropEvent*>(event);
    const QStringList files = droppedFiles(*drag);
    if (isThemeToOpen(files)) {
      highlight(nullptr);
      return onWindow(&window_, event);
    }
    // Only files go into a node; a folder is not one.
    const bool allFiles = !files.isEmpty() && std::all_of(files.begin(), files.end(), [](auto& f) {
      return QFileInfo(f).isFile();
    });
    // The file node the drop would import into, or none.
    QTreeWidgetItem* node =
        allFiles ? commands_.tree().itemAt(drag->position().toPoint()) : nullptr;
    if (node != nullptr && !commands_.nodeTakesFile(displayIndexOf(node))) node = nullptr;
    // A drag refused on entering gets no more moves: files are taken in whatever the pointer
    // enters over (the empty area, a group), and every move decides for the node under it.
    answer(drag, event->type() == QEvent::DragEnter ? allFiles : node != nullptr);
    const bool drop = event->type() == QEvent::Drop;
    highlight(drop ? nullptr : node);
    if (!drop || node == nullptr) return true;
    runHandler([&] {
      if (files.size() > 1) {
        commands_.infoMessage(QStringLiteral("На файл темы можно перетащить только один файл."));
        return;
      }
      // As if the node had been selected and the file chosen in the import dialog.
      commands_.tree().setCurrentItem(node);
      // A PNG on a RAW picture is converted, as "Загрузить из PNG..." does.
      const bool png = files.first().endsWith(u".png", Qt::CaseInsensitive);
      commands_.importFile(files.first(), png ? wqt::RawFormat::Png : wqt::RawFormat::Raw,
                           TreeCommands::Fitting::OnMismatch);
    });
    return true;
  }

  bool onWindow(QObject* watched, QEvent* event) {
    if (!isDragEvent(event->type())) return false;
    auto* drag = static_cast<QDropEvent*>(event);
    const QStringList files = droppedFiles(*drag);
    const bool open = isThemeToOpen(files);
    // A control's own drops (text into an edit box) go on as before.
    if (!open && watched != &window_) return false;
    answer(drag, open);
    if (open && event->type() == QEvent::Drop) {
      // As "Открыть тему" does, unsaved work is asked about first.
      runHandler([&] {
        if (commands_.mayDropTheme()) commands_.openThemeFile(files.first());
      });
    }
    return true;
  }

  // Whether the drag carries exactly one theme file that the open command may open now.
  bool isThemeToOpen(const QStringList& files) const {
    return files.size() == 1 && files.first().endsWith(u".wqt", Qt::CaseInsensitive) &&
           commands_.mayOpenTheme();
  }

  void highlight(QTreeWidgetItem* node) {
    if (node == highlighted_) return;
    if (highlighted_ != nullptr) {
      highlighted_->setBackground(0, QBrush());
      highlighted_->setForeground(0, QBrush());
    }
    highlighted_ = node;
    if (node == nullptr) return;
    const QPalette& palette = commands_.tree().palette();
    node->setBackground(0, palette.brush(QPalette::Active, QPalette::Highlight));
    node->setForeground(0, palette.brush(QPalette::Active, QPalette::HighlightedText));
  }

  QWidget& window_;
  TreeCommands& commands_;
  QTreeWidgetItem* highlighted_ = nullptr;
};

}  // namespace

void installTreeDragDrop(QWidget& window, TreeCommands& commands) {
  new TreeDragDrop(window, commands);
}

}  // namespace wqtui
