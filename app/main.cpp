// Start-up: the command line, the application object with its title and icon, the main window
// (whose creation runs the start-up check), the About box created hidden, then the event loop
// until the main window closes. A theme named on the command line is opened once the window shows.
#include <exception>

#include <QApplication>
#include <QTimer>

#include "app/command_line.h"
#include "ui/AboutProgramm.h"
#include "ui/Appearance.h"
#include "ui/ErrorReport.h"
#include "ui/MainUnit.h"
#include "ui/QtTranslations.h"
#include "ui/UserDialogs.h"

namespace {

// The last line of defence: an exception that escapes a handler's own guard is shown by the
// top-level handler here instead of unwinding through Qt's event loop.
class WqtApplication : public QApplication {
 public:
  using QApplication::QApplication;

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
      wqtui::reportException(error);
    } catch (...) {
      wqtui::reportUnknownException();
    }
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  // Only the name: a display name would be appended to every window caption by some platforms.
  QCoreApplication::setApplicationName(QString::fromUtf8(wqtui::kApplicationTitle));
  QCoreApplication::setApplicationVersion(QStringLiteral(WQT_VERSION));

  EditorCommandLine commandLine(argc, argv);
  if (commandLine.asksHelpOrVersion()) {
    QCoreApplication console(argc, argv);
    wqtui::installQtTranslations();
    commandLine.answerHelpOrVersion();
  }

  WqtApplication app(argc, argv);
  // Ties the window to its desktop entry and icon where the desktop matches them by id.
  QGuiApplication::setDesktopFileName(QStringLiteral(WQT_APP_ID));
  wqtui::installQtTranslations();
  commandLine.process(app);
  QApplication::setWindowIcon(wqtui::applicationIcon());
  wqtui::installFontSubstitutes();

  wqtui::QtUserDialogs dialogs;
  TMainForm mainForm(dialogs, commandLine.mapPath());
  TChildForm_AboutProgramm aboutBox;
  aboutBox.hide();
  mainForm.setAboutBox(&aboutBox);

  mainForm.show();
  if (const QString theme = commandLine.themeFile(); !theme.isEmpty()) {
    // Once the window is on screen, so its messages have it behind them.
    QTimer::singleShot(0, &mainForm,
                       [&] { wqtui::runHandler([&] { mainForm.openThemeFile(theme); }); });
  }
  return app.exec();
}
