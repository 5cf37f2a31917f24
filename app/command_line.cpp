#include "app/command_line.h"

#include <cstdio>
#include <cstdlib>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include "map/map_location.h"
#include "ui/UserDialogs.h"

namespace {

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

}  // namespace

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
