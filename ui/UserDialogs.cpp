#include "ui/UserDialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTranslator>

#include "ui/FitDialog.h"
#include "ui/PortDialog.h"

namespace wqtui {

namespace {

// "Description|pattern" to Qt's "Description (pattern)", patterns separated by spaces.
QString qtNameFilter(const QString& filter) {
  const qsizetype bar = filter.indexOf(u'|');
  if (bar < 0) return filter;
  QString pattern = filter.mid(bar + 1);
  pattern.replace(u';', u' ');
  return filter.left(bar) + QStringLiteral(" (") + pattern + u')';
}

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
  return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

// A message box whose buttons speak the interface's language whether or not Qt's translations are
// installed ("OK" as the program gives it); the button the user pressed.
int runMessageBox(QMessageBox::Icon icon, const QString& caption, const QString& text,
                  QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                  QMessageBox::StandardButton byDefault = QMessageBox::NoButton) {
  QMessageBox box(icon, caption, text, buttons, QApplication::activeWindow());
  if (QAbstractButton* ok = box.button(QMessageBox::Ok)) ok->setText(QStringLiteral("OK"));
  if (QAbstractButton* yes = box.button(QMessageBox::Yes)) yes->setText(QStringLiteral("Да"));
  if (QAbstractButton* no = box.button(QMessageBox::No)) no->setText(QStringLiteral("Нет"));
  if (byDefault != QMessageBox::NoButton) box.setDefaultButton(byDefault);
  // "Отмена", where the box has it, is also what Esc and the close box answer.
  if (QAbstractButton* cancel = box.button(QMessageBox::Cancel)) {
    cancel->setText(QStringLiteral("Отмена"));
    box.setEscapeButton(cancel);
  }
  return box.exec();
}

// Qt's progress dialog; it repaints and takes the cancel click while the operation runs.
class QtProgress : public UserDialogs::Progress {
 public:
  QtProgress(QWidget* parent, const QString& label, int total)
      : dialog_(label, QStringLiteral("Отмена"), 0, total, parent) {
    dialog_.setWindowTitle(QString::fromUtf8(kApplicationTitle));
    dialog_.setWindowModality(Qt::WindowModal);
    dialog_.setMinimumDuration(0);
    dialog_.setAutoClose(false);
    dialog_.setValue(0);
  }

  bool advance(int done) override {
    // Each update lets the event loop run, which costs more than writing a small file: the
    // window is brought up to date a few dozen times a second, and at the end.
    if (done < dialog_.maximum() && shown_.isValid() && shown_.elapsed() < kUpdateMs) return true;
    dialog_.setValue(done);
    shown_.start();
    return !dialog_.wasCanceled();
  }

 private:
  static constexpr qint64 kUpdateMs = 40;
  QProgressDialog dialog_;
  QElapsedTimer shown_;
};

}  // namespace

QColor UserDialogs::getColor(QWidget* parent, const QColor& initial, const QString& caption) {
  return QColorDialog::getColor(initial, parent, caption, QColorDialog::DontUseNativeDialog);
}

std::optional<std::vector<std::uint8_t>> UserDialogs::fitPicture(QWidget* parent,
                                                                 const wqt::FitTarget& target,
                                                                 const QString& picture) {
  TFitDialog dialog(target, picture, *this, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.acceptedBytes();
}

std::optional<PortChoice> UserDialogs::portChoice(QWidget* parent) {
  TPortDialog dialog(*this, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.choice();
}

void UserDialogs::portReport(QWidget* parent, const PortReport& report) {
  showPortReport(parent, report);
}

bool UserDialogs::infoMessageOfferingFit(const QString& text) {
  infoMessage(text);
  return false;
}

void installQtTranslations() {
  // Owned by the application, so it lives as long as the texts are looked up.
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (translator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(translator);
}

std::filesystem::path toPath(const QString& name) {
  return std::filesystem::path(toFileName(name));
}

std::string toFileName(const QString& name) {
  return QFile::encodeName(name).toStdString();
}

QString QtUserDialogs::getOpenFileName(QWidget* parent, const QString& filter,
                                       const QString& fileName) {
  return runFileDialog(parent, QFileDialog::AcceptOpen, filter, fileName);
}

QString QtUserDialogs::getSaveFileName(QWidget* parent, const QString& filter,
                                       const QString& fileName) {
  return runFileDialog(parent, QFileDialog::AcceptSave, filter, fileName);
}

QString QtUserDialogs::getExistingDirectory(QWidget* parent, const QString& caption) {
  QFileDialog dialog(parent, caption);
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

bool QtUserDialogs::question(const QString& text) {
  return runMessageBox(QMessageBox::Question, QString::fromUtf8(kApplicationTitle), text,
                       QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

UserDialogs::Answer QtUserDialogs::questionWithCancel(const QString& text) {
  const int answer =
      runMessageBox(QMessageBox::Question, QString::fromUtf8(kApplicationTitle), text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
  if (answer == QMessageBox::Yes) return Answer::Yes;
  return answer == QMessageBox::No ? Answer::No : Answer::Cancel;
}

std::unique_ptr<UserDialogs::Progress> QtUserDialogs::progress(QWidget* parent,
                                                               const QString& label, int total) {
  return std::make_unique<QtProgress>(parent, label, total);
}

void QtUserDialogs::infoMessage(const QString& text) {
  runMessageBox(QMessageBox::Information, QStringLiteral("Information"), text);
}

bool QtUserDialogs::infoMessageOfferingFit(const QString& text) {
  QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::Ok,
                  QApplication::activeWindow());
  QAbstractButton* ok = box.button(QMessageBox::Ok);
  ok->setText(QStringLiteral("OK"));
  QPushButton* fit = box.addButton(QStringLiteral("Подогнать..."), QMessageBox::ActionRole);
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(ok);
  box.exec();
  return box.clickedButton() == fit;
}

void QtUserDialogs::plainMessage(const QString& text) {
  runMessageBox(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), text);
}

void QtUserDialogs::errorMessage(const QString& text) {
  runMessageBox(QMessageBox::Critical, QString::fromUtf8(kApplicationTitle), text);
}

}  // namespace wqtui
