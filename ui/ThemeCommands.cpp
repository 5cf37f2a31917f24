// The theme commands: create, open, save, exit, and the question about unsaved work before the
// theme is replaced or the window closed.
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTreeWidget>
#include <QUndoStack>

#include "ops/theme_open.h"
#include "ops/theme_save.h"
#include "ui/ErrorReport.h"
#include "ui/MainUnit.h"

namespace {

// A map whose header regions overlap the signatures would write a file it cannot open again.
const char* const kWouldNotReopenMessage =
    "Тема не может быть сохранена: с этой картой темы записанный файл не откроется.";

}  // namespace

void TMainForm::MM_Child_CreateThemeClick() {
  if (!mayDropTheme()) return;
  externalEdit_.stop();
  ReadRXT();
  wqt::createTheme(map_, doc_);
  themeFile_.clear();
  showThemeOpened();
  setStatus(QStringLiteral("NewTheme.wqt"), QStringLiteral("Создание новой темы."));
}

void TMainForm::MM_Child_OpenThemeClick() {
  if (!mayDropTheme()) return;
  const QString chosen =
      dialogs_.getOpenFileName(this, QString::fromUtf8(wqtui::kThemeFilter), QString());
  if (!chosen.isEmpty()) openThemeFile(chosen);
}

void TMainForm::openThemeFile(const QString& chosen) {
  // A theme named on the command line or dropped on the window is refused as the menu command is.
  if (!mayOpenTheme()) return;
  externalEdit_.stop();
  ReadRXT();
  setStatus(QFileInfo(chosen).fileName(), QStringLiteral("Проверка сигнатуры..."));

  // The whole file is checked before anything of the current theme changes.
  const wqt::OpenOutcome outcome = wqt::openTheme(wqtui::toPath(chosen), map_, doc_);
  if (outcome.error) {
    // Cut short or unreadable: the core's own error, in the error box as any failure of a command.
    wqtui::reportException(*outcome.error);
    return;
  }
  if (!outcome.opened()) {
    TreeView->clear();
    SBar_Panel1->setText(QString::fromUtf8(wqt::openStatusText(outcome.refusal)));
    dialogs_.plainMessage(QString::fromUtf8(wqt::openMessageText(outcome.refusal)));
    return;
  }

  SBar_Panel1->setText(QStringLiteral("Файл загружен."));
  themeFile_ = QFileInfo(chosen).absoluteFilePath();
  rememberTheme(themeFile_);
  showThemeOpened();
}

// The new tree has no node selected: the panel shows no file, on the first page. Then the pages,
// the save command and the header page once a theme is there.
void TMainForm::showThemeOpened() {
  IMG->clear();
  selected_ = Selected::Nothing;
  selectedNode_ = -1;
  updateFilePanel();
  {
    // The program's own page change is not the user's: the page-switch rule does not run.
    const QSignalBlocker programChange(PCtrl);
    PCtrl->setCurrentIndex(0);
  }
  PCtrl->setEnabled(true);
  updateCommands();
  showHeaderField(ED_ThemeAuthor, wqt::kAuthorField);
  showHeaderField(ED_ThemeName, wqt::kNameField);
  showHeaderField(ED_ThemeVersion, wqt::kVersionField);
  showThemeType();
  // Filling the boxes rewrites the fields; that is part of opening, not a change of the user's.
  doc_.markUnmodified();
  clearHistory();
  Q_EMIT documentChanged(-1);
}

QStringList TMainForm::statusTexts() const {
  return {SBar_Panel0->text(), SBar_Panel1->text()};
}

bool TMainForm::saveTheme(bool ask) {
  // Every refusal comes before the user picks a name.
  if (!mayBeSaved(wqt::checkSave(doc_, map_.settings()))) return false;
  const bool inPlace = !ask && !themeFile_.isEmpty();
  std::filesystem::path target = wqtui::toPath(themeFile_);
  if (!inPlace) {
    // "Сохранить тему как..." proposes the theme's own file; a created theme has none.
    const QString chosen =
        dialogs_.getSaveFileName(this, QString::fromUtf8(wqtui::kThemeFilter), themeFile_);
    if (chosen.isEmpty()) return false;
    target = wqt::saveTarget(wqtui::toFileName(chosen));
  }
  if (!mayBeSaved(wqt::saveTheme(doc_, map_.settings(), target))) return false;
  themeFile_ = QFileInfo(QFile::decodeName(target.c_str())).absoluteFilePath();
  rememberTheme(themeFile_);
  undo_->setClean();
  updateCommands();
  if (inPlace) SBar_Panel1->setText(QStringLiteral("Тема сохранена."));
  return true;
}

bool TMainForm::mayBeSaved(const wqt::SaveOutcome& outcome) {
  if (outcome.saved()) return true;
  const char* message = wqt::saveMessageText(outcome.refusal);
  dialogs_.infoMessage(QString::fromUtf8(message != nullptr ? message : kWouldNotReopenMessage));
  // The message names no file: the tree shows the first one.
  if (outcome.refusal == wqt::SaveRefusal::MissingFile) selectFirstMissingFile();
  return false;
}

// True when the theme holds no unsaved change, or when the user saves it or lets the change go;
// false when the user stays with it or the save was refused or cancelled.
bool TMainForm::mayDropTheme() {
  if (!doc_.hasImage() || !doc_.modified()) return true;
  using Answer = wqtui::UserDialogs::Answer;
  const Answer answer = dialogs_.questionWithCancel(QStringLiteral("Сохранить изменения в теме?"));
  // A save that is refused, cancelled or fails keeps the theme.
  if (answer == Answer::Yes) return saveTheme(false);
  return answer == Answer::No;
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // Refused unless the question lets the theme go; an error while saving keeps the window open.
  bool drop = false;
  wqtui::runHandler([&] { drop = mayDropTheme(); });
  if (drop) externalEdit_.stop();
  event->setAccepted(drop);
}
