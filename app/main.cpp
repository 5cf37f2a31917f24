#include <cstdio>

#include <QApplication>
#include <QTimer>

#include "app/command_line.h"
#include "ui/AboutProgramm.h"
#include "ui/Appearance.h"
#include "ui/ErrorReport.h"
#include "ui/MainUnit.h"
#include "ui/UserDialogs.h"

namespace {

// The last line of defence: an exception that escapes a handler's own guard is shown by the
// top-level handler here instead of unwinding through Qt's event loop.
class WqtApplication : public QApplication {
 public:
  using QApplication::QApplication;

  bool notify(QObject* receiver, QEvent* event) override {
    bool handled = false;
    wqtui::runHandler([&] { handled = QApplication::notify(receiver, event); });
    return handled;
  }
};

// For the end-to-end tests: with ORVALEN_WQT_MANAGER_REPORT_START set, the editor prints its two
// status panels on standard output once the theme named on the command line has been opened,
// then quits.
void reportStartAndQuit(const TMainForm& mainForm) {
  if (!qEnvironmentVariableIsSet("ORVALEN_WQT_MANAGER_REPORT_START")) return;
  std::fputs(qPrintable(mainForm.statusTexts().join(u'\t') + u'\n'), stdout);
  std::fflush(stdout);
  QCoreApplication::quit();
}

}  // namespace

int main(int argc, char** argv) {
  // Only the name: a display name would be appended to every window caption by some platforms.
  QCoreApplication::setApplicationName(QString::fromUtf8(wqtui::kApplicationTitle));
  QCoreApplication::setApplicationVersion(QStringLiteral(WQT_VERSION));

  const EditorStart start = readCommandLine(argc, argv);

  WqtApplication app(argc, argv);
  // Ties the window to its desktop entry and icon where the desktop matches them by id.
  QGuiApplication::setDesktopFileName(QStringLiteral(WQT_APP_ID));
  wqtui::installQtTranslations();
  QApplication::setWindowIcon(wqtui::applicationIcon());
  wqtui::installFontSubstitutes();

  wqtui::QtUserDialogs dialogs;
  TMainForm mainForm(dialogs, start.mapPath);
  TChildForm_AboutProgramm aboutBox;
  mainForm.setAboutBox(&aboutBox);

  mainForm.show();
  // Once the window is on screen, so its messages have it behind them. The call runs after main
  // has gone on, so it keeps its own copy of the name.
  QTimer::singleShot(0, &mainForm, [&mainForm, theme = start.themeFile] {
    if (!theme.isEmpty()) wqtui::runHandler([&] { mainForm.openThemeFile(theme); });
    reportStartAndQuit(mainForm);
  });
  return app.exec();
}
