#pragma once
// The editor's command line: orvalen-wqt-manager [--map FILE] [THEME.wqt], --help, --version.
// It is read before any window system is contacted, so help, version and a wrong command line
// are answered on the terminal without a display.
#include <filesystem>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

class EditorCommandLine {
 public:
  // Reads the arguments as the program got them (the program's name first), leaving out the
  // options the application object takes for itself (-platform, -style and the like).
  EditorCommandLine(int argc, char** argv);

  // Answers --help or --version, or reports a wrong command line with status 2, and ends the
  // program; returns when the editor should start. Needs an application object (a console one
  // will do) for Qt's translated texts.
  void answerOnTerminal();

  // The map for the whole run: --map FILE, else the default lookup.
  std::filesystem::path mapPath() const;
  // The theme to open at start, resolved against the working directory as it was at start;
  // empty when none is named.
  QString themeFile() const { return themeFile_; }

  // Status of a wrong command line.
  static constexpr int kUsageError = 2;

 private:
  QCommandLineParser parser_;
  QCommandLineOption help_;
  QCommandLineOption version_;
  QCommandLineOption map_;
  bool parsed_ = false;
  QString themeFile_;
};
