#include "ui/UserDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace wqtui {

namespace {

QString runFileDialog(QWidget* parent, QFileDialog::AcceptMode mode, const QString& filter,
                      const QString& fileName) {
  QFileDialog dialog(parent);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setAcceptMode(mode);
  // The open dialog takes only a file that exists; the save dialog must take a new name too,
  // and asks before replacing an existing file (Qt's default for a save dialog).
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  // The description already names the extensions; Qt's pattern list is not shown beside it.
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setNameFilter(qtNameFilter(filter));
  if (!fileName.isEmpty()) dialog.selectFile(fileName);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

void runMessageBox(QMessageBox::Icon icon, const QString& caption, const QString& text) {
  QMessageBox box(icon, caption, text, QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

}  // namespace

QString qtNameFilter(const QString& filter) {
  const qsizetype bar = filter.indexOf(u'|');
  if (bar < 0) return filter;
  QString pattern = filter.mid(bar + 1);
  pattern.replace(u';', u' ');
  return filter.left(bar) + QStringLiteral(" (") + pattern + u')';
}

QString QtUserDialogs::getOpenFileName(QWidget* parent, const QString& filter,
                                       const QString& fileName) {
  return runFileDialog(parent, QFileDialog::AcceptOpen, filter, fileName);
}

QString QtUserDialogs::getSaveFileName(QWidget* parent, const QString& filter,
                                       const QString& fileName) {
  return runFileDialog(parent, QFileDialog::AcceptSave, filter, fileName);
}

void QtUserDialogs::infoMessage(const QString& text) {
  runMessageBox(QMessageBox::Information, QStringLiteral("Information"), text);
}

void QtUserDialogs::plainMessage(const QString& text) {
  runMessageBox(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), text);
}

void QtUserDialogs::errorMessage(const QString& text) {
  runMessageBox(QMessageBox::Critical, QString::fromUtf8(kApplicationTitle), text);
}

}  // namespace wqtui
