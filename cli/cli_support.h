#pragma once
// What every command of orvalen-wqt shares: exit statuses, messages on stderr, the map, naming
// entries.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "map/theme_map.h"
#include "ops/entry_transfer.h"
#include "ops/problem_text.h"
#include "ops/theme_header.h"
#include "ops/theme_open.h"

namespace wqtcli {

enum Exit : int {
  kExitOk = 0,
  kExitProblems = 1,  // a theme has problems (check, pack, replace, set)
  kExitUsage = 2,     // a wrong command line, unreadable input, a failed write
};

// Ends a command with a message on stderr and an exit status.
struct Failure : std::runtime_error {
  Failure(int status, const std::string& message) : std::runtime_error(message), status(status) {}
  const int status;
};

// A message line on stderr, prefixed with the program's name. CR LF inside becomes a space.
void printMessage(std::string_view message);
// One line on stderr naming where a problem lies, then the editor's message text.
void printProblem(std::string_view where, std::string_view message);

// Writes data on stdout; a failed write (a closed pipe, a full disk) fails the command.
void printData(std::string_view text);

// The map named by --map, else the one the editor would use. A missing or broken map fails with
// the map's path.
wqt::ThemeMap loadMap(const std::optional<std::filesystem::path>& mapOption);

// Fails the command (status 2) naming the theme when the open was refused.
void requireOpened(const std::filesystem::path& theme, const wqt::OpenOutcome& outcome);

// The theme opened for reading entry by entry, or the whole of it as the editor opens it; a
// refusal fails the command naming the file.
wqt::ThemeFileSlots openEntries(const std::string& theme, const wqt::ThemeMap& map);
wqt::ThemeDocument openDocument(const std::string& theme, const wqt::ThemeMap& map);

// Saves as the editor does: refused while a file is missing. The file written is exactly the one
// named: -o OUT, or the theme itself. Returns the exit status.
int saveDocument(wqt::ThemeDocument& doc, const wqt::MapSettings& settings,
                 const std::string& theme, const std::optional<std::string>& output);

// The entry a command-line ENTRY names. Fails listing the candidates when it names none or many,
// and for an entry beyond the map's file count (it has no slot).
std::int32_t resolveEntry(const wqt::ThemeMap& map, std::string_view text);

// A path from the command line as a target: an empty one fails (status 2) saying what it was
// for; trailing "/" go, so that "out/" names the folder "out".
std::filesystem::path targetPath(const std::string& text, const char* what);

}  // namespace wqtcli
