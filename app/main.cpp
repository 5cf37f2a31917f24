#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QScreen>
#include <QSettings>
#include <QTimer>

#include "map/map_location.h"
#include "ui/AboutProgramm.h"
#include "ui/Appearance.h"
#include "ui/ErrorReport.h"
#include "ui/MainUnit.h"
#include "ui/UserDialogs.h"

namespace {

// The editor's command line: orvalen-wqt-manager [--map FILE] [THEME.wqt], --help, --version.
// It is read before any window system is contacted, so help, version and a wrong command line
// are answered on the terminal without a display.
struct EditorStart {
  std::filesystem::path mapPath;  // for the whole run: --map FILE, else the default lookup
  QString themeFile;              // to open at start, made absolute; empty when none is named
};

[[noreturn]] void failWith(const QString& message) {
  std::fputs(qPrintable(QCoreApplication::applicationName() + QStringLiteral(": ") + message +
                        QLatin1Char('\n')),
             stderr);
  std::exit(2);  // a wrong command line
}

QStringList withoutQtOptions(int argc, char** argv) {
  // The options QGuiApplication, QApplication and the X11 platform take out of the arguments,
  // with one dash or two: those that take the next argument as their value ("-style fusion";
  // "-style=fusion" is one argument), and those that take none. Our parser must not see them: it
  // reads the command line before they are gone.
  const QStringList withValue =
      QStringLiteral(
          "platform platformpluginpath platformtheme plugin qwindowgeometry qwindowicon "
          "qwindowtitle session display geometry title icon name visual style stylesheet")
          .split(u' ');
  const QStringList flags =
      QStringLiteral("qmljsdebugger reverse widgetcount nograb dograb sync testability")
          .split(u' ');
  QStringList kept;
  bool optionsEnd = false;
  for (int i = 0; i < argc; ++i) {
    const QString argument = QString::fromLocal8Bit(argv[i]);
    const bool option = i > 0 && !optionsEnd && argument.startsWith(u'-');
    if (option && argument == QStringLiteral("--")) optionsEnd = true;
    const QString body = argument.mid(argument.startsWith(QStringLiteral("--")) ? 2 : 1);
    const QString name = body.section(u'=', 0, 0);
    if (option && withValue.contains(name)) {
      if (!body.contains(u'=')) ++i;  // its value is the next argument
    } else if (!option || !flags.contains(name)) {
      kept << argument;
    }
  }
  return kept;
}

// Reads the arguments as the program got them (the program's name first), leaving out the
// options the application object takes for itself (-platform, -style and the like). Answers
// --help or --version, or reports a wrong command line with status 2, and ends the program;
// returns when the editor should start. Runs a console application object of its own for Qt's
// translated texts; call it before the editor's.
EditorStart readCommandLine(int& argc, char** argv) {
  // Our own help and version options: Qt's built-in ones have no Russian descriptions.
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Показать эту справку."));
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                   QStringLiteral("Показать версию программы."));
  const QCommandLineOption map(
      QStringLiteral("map"),
      QStringLiteral("Читать карту темы из FILE вместо найденного по умолчанию theme.rxt."),
      QStringLiteral("FILE"));
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Редактор файлов тем WQT."));
  parser.addOptions({help, version, map});
  parser.addPositionalArgument(QStringLiteral("THEME.wqt"),
                               QStringLiteral("Файл темы, который открыть при запуске."),
                               QStringLiteral("[THEME.wqt]"));
  // Qt words some of its errors as it parses: its translations come first.
  const QCoreApplication console(argc, argv);
  wqtui::installQtTranslations();
  if (!parser.parse(withoutQtOptions(argc, argv))) failWith(parser.errorText());
  if (parser.isSet(version)) parser.showVersion();
  if (parser.isSet(help)) parser.showHelp(EXIT_SUCCESS);
  const QStringList themes = parser.positionalArguments();
  if (themes.size() > 1)
    failWith(
        QStringLiteral("Лишний аргумент «%1»: открыть можно только одну тему.").arg(themes[1]));
  // Resolved now: the working directory may change before the window opens the theme.
  return {parser.isSet(map) ? wqtui::toPath(QFileInfo(parser.value(map)).absoluteFilePath())
                            : wqt::defaultMapPath(),
          themes.isEmpty() ? QString() : QFileInfo(themes.first()).absoluteFilePath()};
}

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

// A size and place kept from another screen or scale factor, pulled back onto this screen's
// available area (restoring only keeps some of the window in view).
void keepOnScreen(QWidget& window) {
  const QScreen* screen = window.screen();
  if (screen == nullptr) return;
  const QRect room = screen->availableGeometry();
  QRect kept = window.geometry();
  kept.setSize(kept.size().boundedTo(room.size()).expandedTo(window.minimumSize()));
  kept.moveLeft(std::max(room.left(), std::min(kept.left(), room.right() + 1 - kept.width())));
  kept.moveTop(std::max(room.top(), std::min(kept.top(), room.bottom() + 1 - kept.height())));
  if (kept != window.geometry()) window.setGeometry(kept);
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

  // The window's size and place from the last run, under the user's configuration folder.
  QSettings settings(QStringLiteral("Orvalen"), QStringLiteral("wqt-manager"));
  mainForm.restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray());
  keepOnScreen(mainForm);
  QObject::connect(&app, &QCoreApplication::aboutToQuit, &mainForm, [&mainForm, &settings] {
    settings.setValue(QStringLiteral("window/geometry"), mainForm.saveGeometry());
  });
  mainForm.show();
  // Once the window is on screen, so its messages have it behind them. The call runs after main
  // has gone on, so it keeps its own copy of the name.
  QTimer::singleShot(0, &mainForm, [&mainForm, theme = start.themeFile] {
    if (!theme.isEmpty()) wqtui::runHandler([&] { mainForm.openThemeFile(theme); });
    reportStartAndQuit(mainForm);
  });
  return app.exec();
}
