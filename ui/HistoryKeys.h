#pragma once
// A box whose text belongs to the theme leaves the undo and redo keys to the window's edit
// history: the box's own undo would take back keystrokes the "Правка" menu knows nothing of.
#include <QList>

class QAction;
class QWidget;

namespace wqtui {

// The keys of the commands, and the platform's undo and redo keys, go past the box to the
// commands; while a command is disabled its keys do nothing in the box either.
void leaveHistoryKeys(QWidget* box, const QList<QAction*>& commands);

}  // namespace wqtui
