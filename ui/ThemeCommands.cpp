// The theme commands: create, open, save, exit, and the question about unsaved work before the
// theme is replaced or the window closed.
#include <string>
#include <utility>

#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QTabWidget>
#include <QTreeWidget>

#include "base/file_io.h"
#include "base/paths.h"
#include "theme/theme_messages.h"
#include "ui/ErrorReport.h"
#include "ui/MainUnit.h"

using wqtui::runHandler;
using wqtui::toFileName;
using wqtui::toPath;

namespace {

const char* const kThemeFilter = "WQT Theme File (*.wqt)|*.wqt";
const char* const kSaveChangesQuestion = "Сохранить изменения в теме?";

}  // namespace

void TMainForm::MM_Child_CreateThemeClick() {
  if (!mayDropTheme()) return;
  ReadRXT();
  IMG->clear();
  selectNothing();
  selectFirstPage();
  doc_.create(map_.settings());
  showThemeOpened();
  setStatus(QStringLiteral("NewTheme.wqt"), QStringLiteral("Создание новой темы."));
}

void TMainForm::MM_Child_OpenThemeClick() {
  if (!mayDropTheme()) return;
  const QString chosen = dialogs_.getOpenFileName(this, QString::fromUtf8(kThemeFilter), QString());
  if (chosen.isEmpty()) return;
  openThemeFile(chosen);
}

void TMainForm::openThemeFile(const QString& chosen) {
  // A theme named on the command line or dropped on the window is refused as the menu command is.
  if (!mayOpenTheme()) return;
  ReadRXT();
  setStatus(QFileInfo(chosen).fileName(), QStringLiteral("Проверка сигнатуры..."));

  // The whole file is checked before anything of the current theme changes.
  wqt::ParsedTheme parsed = wqt::readThemeFile(toPath(chosen), map_.settings());
  switch (parsed.status) {
    case wqt::ParsedTheme::Status::Signature1Mismatch:
    case wqt::ParsedTheme::Status::Signature2Mismatch: {
      const bool first = parsed.status == wqt::ParsedTheme::Status::Signature1Mismatch;
      TreeView->clear();
      setStatusSecond(QString::fromUtf8(first ? wqt::kSignature1Status : wqt::kSignature2Status));
      dialogs_.plainMessage(QString::fromUtf8(wqt::kBadThemeMessage));
      return;
    }
    case wqt::ParsedTheme::Status::SlotTooLarge:
      TreeView->clear();
      setStatusSecond(QString::fromUtf8(wqt::kSlotTooLargeStatus));
      dialogs_.plainMessage(QString::fromUtf8(wqt::kSlotTooLargeMessage));
      return;
    case wqt::ParsedTheme::Status::Ok:
      break;
  }

  PCtrl->setEnabled(true);
  setStatusSecond(QStringLiteral("Файл загружен."));
  doc_.adopt(std::move(parsed));
  IMG->clear();
  selectNothing();
  selectFirstPage();
  showThemeOpened();
}

// The new tree has no node selected: the panel shows no file.
void TMainForm::selectNothing() {
  selected_ = Selected::Nothing;
  selectedNode_ = -1;
  updateFilePanel();
}

// The pages, the save command and the header page once a theme is there.
void TMainForm::showThemeOpened() {
  PCtrl->setEnabled(true);
  MM_Child_SaveTheme->setEnabled(true);
  showHeaderFields();
  showThemeType();
  // Filling the boxes rewrites the fields; that is part of opening, not a change of the user's.
  doc_.markUnmodified();
}

QStringList TMainForm::statusTexts() const {
  return {SBar_Panel0->text(), SBar_Panel1->text()};
}

void TMainForm::MM_Child_SaveThemeClick() {
  saveTheme();
}

bool TMainForm::saveTheme() {
  if (doc_.hasEmptySlot(map_.settings())) {
    dialogs_.infoMessage(QString::fromUtf8(wqt::kEmptySlotMessage));
    return false;
  }
  // A layout whose file could not be opened again is refused before the user picks a name.
  if (wqt::saveLayoutOverlaps(map_.settings())) {
    dialogs_.infoMessage(QString::fromUtf8(wqt::kLayoutOverlapMessage));
    return false;
  }
  const QString chosen = dialogs_.getSaveFileName(this, QString::fromUtf8(kThemeFilter), QString());
  if (chosen.isEmpty()) return false;
  const std::string target = wqt::replaceExtension(toFileName(chosen), ".wqt");
  wqt::writeFileReplacing(target, doc_.rebuildForSave(map_.settings()));
  doc_.markUnmodified();
  return true;
}

// True when the theme holds no unsaved change, or when the user saves it or lets the change go;
// false when the user stays with it or the save was refused or cancelled.
bool TMainForm::mayDropTheme() {
  if (!doc_.hasImage() || !doc_.modified()) return true;
  switch (dialogs_.questionWithCancel(QString::fromUtf8(kSaveChangesQuestion))) {
    case wqtui::UserDialogs::Answer::Yes:
      // A save that is refused, cancelled or fails keeps the theme.
      return saveTheme();
    case wqtui::UserDialogs::Answer::No:
      return true;
    case wqtui::UserDialogs::Answer::Cancel:
      break;
  }
  return false;
}

void TMainForm::MM_Child_ExitClick() {
  close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // Refused unless the question lets the theme go; an error while saving keeps the window open.
  bool drop = false;
  runHandler([&] { drop = mayDropTheme(); });
  event->setAccepted(drop);
}
