// The theme's edit history: every change to the theme is a step the "Правка" menu takes back
// and does again. The steps put back bytes through the core; the window then shows the theme.
#include <string>
#include <utility>
#include <vector>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QUndoStack>

#include "ops/entry_transfer.h"
#include "ops/theme_header.h"
#include "ui/ErrorReport.h"
#include "ui/MainUnit.h"
#include "ui/ThemeStep.h"

namespace {

const wqtui::ThemeStep* stepAt(const QUndoStack& stack, int index) {
  return static_cast<const wqtui::ThemeStep*>(stack.command(index));
}

std::vector<std::uint8_t> bytesOf(const std::string& text) {
  return {text.begin(), text.end()};
}

}  // namespace

void TMainForm::recordStep(const QString& name, int key, std::vector<std::uint8_t> held,
                           std::function<void(std::vector<std::uint8_t>&)> exchange) {
  undo_->push(new wqtui::ThemeStep(name, key, std::move(held), std::move(exchange)));
  trimHistory();
}

void TMainForm::trimHistory() {
  // The newest step always stays; older ones go, oldest first, once their bytes pass the bound.
  std::size_t total = 0;
  for (int i = undo_->count() - 1; i >= 0; --i) {
    const wqtui::ThemeStep* step = stepAt(*undo_, i);
    if (step->dropped()) break;
    total += step->heldBytes();
    // The stack hands out its steps as const; they were made here, as non-const objects.
    if (total > undoMemoryLimit_ && i < undo_->count() - 1)
      const_cast<wqtui::ThemeStep*>(step)->drop();
  }
}

std::size_t TMainForm::undoMemory() const {
  std::size_t total = 0;
  for (int i = 0; i < undo_->count(); ++i) total += stepAt(*undo_, i)->heldBytes();
  return total;
}

void TMainForm::clearHistory() {
  {
    // Emptied, the stack reports itself clean: that says nothing of the theme's file.
    const QSignalBlocker quiet(undo_);
    undo_->clear();
    // Unsaved work has no saved state left to go back to.
    if (doc_.modified()) undo_->resetClean();
  }
  updateCommands();
}

bool TMainForm::canUndo() const {
  return undo_->canUndo() && !stepAt(*undo_, undo_->index() - 1)->dropped();
}

void TMainForm::MM_Child_UndoClick() {
  if (canUndo()) undo_->undo();
}

void TMainForm::MM_Child_RedoClick() {
  if (undo_->canRedo()) undo_->redo();
}

void TMainForm::recordImport(std::int32_t e, std::vector<std::uint8_t> before) {
  const int node = map_.entryNode(e);
  const QString caption = node >= 0 ? QString::fromUtf8(map_.captionUtf8(node)) : QString();
  recordStep(QStringLiteral("Загрузка: ") + caption, -1, std::move(before),
             [this, e](std::vector<std::uint8_t>& held) {
               held = wqt::restoreEntryData(doc_, e, std::move(held));
               // A preview that fails is reported; the step itself is done.
               wqtui::runHandler([&] { showStored(e); });
             });
}

void TMainForm::recordField(QLineEdit* box, const wqt::HeaderField& field,
                            const std::string& before) {
  QString name;
  for (const wqt::NamedField& named : wqt::kNamedFields)
    if (named.field.offset == field.offset) name = QString::fromUtf8(named.label);
  recordStep(name, static_cast<int>(field.offset), bytesOf(before),
             [this, box, field](std::vector<std::uint8_t>& held) {
               const std::string now = wqt::fieldText(doc_.image(), field).decoded;
               wqt::setFieldCp1251(doc_, field, std::string(held.begin(), held.end()));
               held = bytesOf(now);
               const QSignalBlocker blocker(box);
               box->setText(QString::fromStdString(wqt::fieldText(doc_.image(), field).shown));
               showFieldUse(box);
             });
}

void TMainForm::recordThemeType(std::uint8_t before) {
  recordStep(QStringLiteral("Тип темы"), -1, {before}, [this](std::vector<std::uint8_t>& held) {
    const std::uint8_t now = wqt::themeTypeOf(doc_.image(), map_.settings()).byte;
    wqt::setThemeTypeByte(doc_, map_.settings(), held.at(0));
    held = {now};
    wqtui::runHandler([&] { showThemeType(); });
  });
}
