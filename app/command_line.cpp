#include "app/command_line.h"

#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QFileInfo>

#include "map/map_location.h"
#include "ui/UserDialogs.h"

namespace {

[[noreturn]] void failWith(const QString& message) {
  std::fputs(qPrintable(QCoreApplication::applicationName() + QStringLiteral(": ") + message +
                        QLatin1Char('\n')),
             stderr);
  std::exit(EditorCommandLine::kUsageError);
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
    if (i == 0 || optionsEnd || !argument.startsWith(u'-')) {
      kept << argument;
      continue;
    }
    if (argument == QStringLiteral("--")) optionsEnd = true;
    const QString body = argument.mid(argument.startsWith(QStringLiteral("--")) ? 2 : 1);
    const QString name = body.section(u'=', 0, 0);
    const bool takesValue = withValue.contains(name);
    if (!takesValue && !flags.contains(name)) {
      kept << argument;
      continue;
    }
    if (takesValue && !body.contains(u'=')) ++i;
  }
  return kept;
}

}  // namespace

EditorCommandLine::EditorCommandLine(int argc, char** argv)
    // Our own help and version options: Qt's built-in ones have no Russian descriptions.
    : help_({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Показать эту справку.")),
      version_({QStringLiteral("v"), QStringLiteral("version")},
               QStringLiteral("Показать версию программы.")),
      map_(QStringLiteral("map"),
           QStringLiteral("Читать карту темы из FILE вместо найденного по умолчанию theme.rxt."),
           QStringLiteral("FILE")) {
  parser_.setApplicationDescription(QStringLiteral("Редактор файлов тем WQT."));
  parser_.addOption(help_);
  parser_.addOption(version_);
  parser_.addOption(map_);
  parser_.addPositionalArgument(QStringLiteral("THEME.wqt"),
                                QStringLiteral("Файл темы, который открыть при запуске."),
                                QStringLiteral("[THEME.wqt]"));
  // Errors are reported by answerOnTerminal(), once Qt's translations are in place.
  parsed_ = parser_.parse(withoutQtOptions(argc, argv));
  const QStringList themes = parser_.positionalArguments();
  // Resolved now: the working directory may change before the window opens the theme.
  if (!themes.isEmpty()) themeFile_ = QFileInfo(themes.first()).absoluteFilePath();
}

void EditorCommandLine::answerOnTerminal() {
  if (!parsed_) failWith(parser_.errorText());
  if (parser_.isSet(version_)) parser_.showVersion();
  if (parser_.isSet(help_)) parser_.showHelp(EXIT_SUCCESS);
  const QStringList themes = parser_.positionalArguments();
  if (themes.size() > 1)
    failWith(
        QStringLiteral("Лишний аргумент «%1»: открыть можно только одну тему.").arg(themes[1]));
}

std::filesystem::path EditorCommandLine::mapPath() const {
  if (!parser_.isSet(map_)) return wqt::defaultMapPath();
  return wqtui::toPath(QFileInfo(parser_.value(map_)).absoluteFilePath());
}
