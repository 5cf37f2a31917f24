#include "app/command_line.h"

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
  std::exit(EXIT_FAILURE);
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
  for (int i = 0; i < argc; ++i) arguments_ << QString::fromLocal8Bit(argv[i]);
  parser_.setApplicationDescription(QStringLiteral("Редактор файлов тем WQT."));
  parser_.addOption(help_);
  parser_.addOption(version_);
  parser_.addOption(map_);
  parser_.addPositionalArgument(QStringLiteral("THEME.wqt"),
                                QStringLiteral("Файл темы, который открыть при запуске."),
                                QStringLiteral("[THEME.wqt]"));
  // Errors are reported by process(), once Qt has removed its own options.
  parser_.parse(arguments_);
}

bool EditorCommandLine::asksHelpOrVersion() const {
  return parser_.isSet(help_) || parser_.isSet(version_);
}

void EditorCommandLine::answerHelpOrVersion() {
  if (parser_.isSet(version_)) parser_.showVersion();
  parser_.showHelp(EXIT_SUCCESS);
}

void EditorCommandLine::process(const QCoreApplication& app) {
  parser_.process(app);
  const QStringList themes = parser_.positionalArguments();
  if (themes.size() > 1)
    failWith(
        QStringLiteral("Лишний аргумент «%1»: открыть можно только одну тему.").arg(themes[1]));
}

std::filesystem::path EditorCommandLine::mapPath() const {
  if (!parser_.isSet(map_)) return wqt::defaultMapPath();
  return toPath(QFileInfo(parser_.value(map_)).absoluteFilePath());
}

QString EditorCommandLine::themeFile() const {
  const QStringList themes = parser_.positionalArguments();
  return themes.isEmpty() ? QString() : QFileInfo(themes.first()).absoluteFilePath();
}
