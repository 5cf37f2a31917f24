#pragma once
// The editor's command line: orvalen-wqt-manager [--map FILE] [THEME.wqt], --help, --version.
#include <filesystem>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

class EditorCommandLine {
 public:
  // Reads the arguments as the program got them (the program's name first).
  EditorCommandLine(int argc, char** argv);

  // --help or --version: answered on the terminal before any window exists, so they work
  // without a display.
  bool asksHelpOrVersion() const;
  // Prints the help or the version and ends the program. Needs the application object, whose
  // translations give the help's headings.
  [[noreturn]] void answerHelpOrVersion();

  // Reads the arguments the application kept (Qt's own options, such as -platform, removed).
  // A wrong command line is reported on the terminal and ends the program with status 1.
  void process(const QCoreApplication& app);

  // The map for the whole run: --map FILE, else the default lookup.
  std::filesystem::path mapPath() const;
  // The theme to open at start, absolute; empty when none is named.
  QString themeFile() const;

 private:
  QCommandLineParser parser_;
  QCommandLineOption help_;
  QCommandLineOption version_;
  QCommandLineOption map_;
  QStringList arguments_;
};
