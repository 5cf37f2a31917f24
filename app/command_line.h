#pragma once
// The editor's command line: orvalen-wqt-manager [--map FILE] [THEME.wqt], --help, --version.
// It is read before any window system is contacted, so help, version and a wrong command line
// are answered on the terminal without a display.
#include <filesystem>

#include <QString>

struct EditorStart {
  // The map for the whole run: --map FILE, else the default lookup.
  std::filesystem::path mapPath;
  // The theme to open at start, resolved against the working directory as it was at start;
  // empty when none is named.
  QString themeFile;
};

// Reads the arguments as the program got them (the program's name first), leaving out the
// options the application object takes for itself (-platform, -style and the like). Answers
// --help or --version, or reports a wrong command line with status 2, and ends the program;
// returns when the editor should start. Runs a console application object of its own for Qt's
// translated texts; call it before the editor's.
EditorStart readCommandLine(int& argc, char** argv);
