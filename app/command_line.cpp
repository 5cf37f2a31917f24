#include "app/command_line.h"

#include <array>
#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "map/map_location.h"

namespace {

std::filesystem::path toPath(const QString& name) {
  return std::filesystem::path(QFile::encodeName(name).toStdString());
}

[[noreturn]] void failWith(const QString& message) {
  std::fputs(qPrintable(QCoreApplication::applicationName() + QStringLiteral(": ") + message +
                        QLatin1Char('\n')),
             stderr);
  std::exit(EditorCommandLine::kUsageError);
}

// The options QGuiApplication, QApplication and the X11 platform take out of the arguments, with
// one dash or two, and whether the next argument is their value ("-style fusion"; "-style=fusion"
// is one argument). Our parser must not see them: it reads the command line before they are gone.
struct QtOption {
  const char* name;
  bool takesValue;
};
constexpr std::array kQtOptions = {
    QtOption{"platform", true},
    QtOption{"platformpluginpath", true},
    QtOption{"platformtheme", true},
    QtOption{"plugin", true},
    QtOption{"qwindowgeometry", true},
    QtOption{"qwindowicon", true},
    QtOption{"qwindowtitle", true},
    QtOption{"session", true},
    QtOption{"display", true},
    QtOption{"geometry", true},
    QtOption{"title", true},
    QtOption{"icon", true},
    QtOption{"name", true},
    QtOption{"visual", true},
    QtOption{"style", true},
    QtOption{"stylesheet", true},
    QtOption{"qmljsdebugger", false},
    QtOption{"reverse", false},
    QtOption{"widgetcount", false},
    QtOption{"nograb", false},
    QtOption{"dograb", false},
    QtOption{"sync", false},
    QtOption{"testability", false},
};

QStringList withoutQtOptions(int argc, char** argv) {
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
    const QtOption* qt = nullptr;
    for (const QtOption& option : kQtOptions)
      if (name == QLatin1String(option.name)) qt = &option;
    if (qt == nullptr) {
      kept << argument;
      continue;
    }
    if (qt->takesValue && !body.contains(u'=')) ++i;
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
  return toPath(QFileInfo(parser_.value(map_)).absoluteFilePath());
}
