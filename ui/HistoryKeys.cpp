#include "ui/HistoryKeys.h"

#include <QAction>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPointer>
#include <QWidget>

namespace wqtui {

namespace {

class HistoryKeys : public QObject {
 public:
  HistoryKeys(QWidget* box, const QList<QAction*>& commands) : QObject(box) {
    for (QAction* command : commands) commands_.append(command);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if ((type != QEvent::ShortcutOverride && type != QEvent::KeyPress) ||
        !isHistoryKey(*static_cast<QKeyEvent*>(event)))
      return QObject::eventFilter(watched, event);
    // Not claimed as the box's own key, the shortcut goes to the command; a key press that gets
    // this far found the command disabled and is spent here.
    event->setAccepted(type == QEvent::KeyPress);
    return true;
  }

 private:
  bool isHistoryKey(const QKeyEvent& key) const {
    if (key.matches(QKeySequence::Undo) || key.matches(QKeySequence::Redo)) return true;
    const QKeySequence pressed(key.keyCombination().toCombined() & ~Qt::KeypadModifier);
    for (const QPointer<QAction>& command : commands_)
      if (command && command->shortcuts().contains(pressed)) return true;
    return false;
  }

  QList<QPointer<QAction>> commands_;
};

}  // namespace

void leaveHistoryKeys(QWidget* box, const QList<QAction*>& commands) {
  box->installEventFilter(new HistoryKeys(box, commands));
}

}  // namespace wqtui
