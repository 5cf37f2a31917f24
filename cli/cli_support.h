#pragma once
// What every command of orvalen-wqt shares: exit statuses, messages on stderr, the map, opening a
// theme, naming entries, the progress line.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "files/import_export.h"
#include "map/theme_map.h"
#include "theme/theme_document.h"

namespace wqtcli {

enum Exit : int {
  kExitOk = 0,
  kExitProblems = 1,  // a theme has problems (check, pack, replace, set)
  kExitUsage = 2,     // a wrong command line, unreadable input, a failed write
};

// Ends a command with a message on stderr and an exit status.
class Failure : public std::runtime_error {
 public:
  Failure(int status, const std::string& message) : std::runtime_error(message), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

// A message line on stderr, prefixed with the program's name. CR LF inside becomes a space.
void printMessage(std::string_view message);
// One line on stderr naming where a problem lies, then the editor's message text.
void printProblem(std::string_view where, std::string_view message);

// The map named by --map, else the one the editor would use. A missing or broken map fails with
// the map's path.
struct LoadedMap {
  std::filesystem::path path;
  wqt::ThemeMap map;
};
LoadedMap loadMap(const std::optional<std::filesystem::path>& mapOption);

// The editor's status text for a theme file that did not pass the open checks.
std::string openStatusText(const wqt::ThemeFileSlots& file);
std::string statusText(wqt::ParsedTheme::Status status);

// A theme file opened for walking its slots; one that fails the open checks or cannot be read
// fails the command with status 2, naming the file.
wqt::ThemeFileSlots openSlots(const std::filesystem::path& theme, const wqt::MapSettings& settings);

// A whole theme as the editor opens it, for the commands that change it.
wqt::ThemeDocument openDocument(const std::filesystem::path& theme,
                                const wqt::MapSettings& settings);

// A document over the bytes before a theme's data region, with empty slots: the header fields and
// the type byte as the editor reads and writes them, without the files.
wqt::ThemeDocument headerDocument(std::vector<std::uint8_t> image, std::size_t fileCount);

// A header field as the editor shows it (UTF-8).
std::string shownField(const wqt::ThemeDocument& doc, const wqt::HeaderField& field);

// The header fields' names as the editor labels them, in the order author, name, version.
struct NamedField {
  const char* label;
  const char* jsonKey;
  wqt::HeaderField field;
};
extern const NamedField kNamedFields[3];

// Stores a field from UTF-8 text as the editor's box would (a character Windows-1251 lacks
// becomes "?"). Returns the editor's too-long message when the field refuses it.
std::optional<std::string> storeField(wqt::ThemeDocument& doc, const wqt::HeaderField& field,
                                      std::string_view utf8);

// The entry a command-line ENTRY names and its slot. Fails listing the candidates when it names
// none or many, and for an entry beyond the map's file count (it has no slot).
struct NamedEntry {
  std::int32_t entry;
  std::size_t slot;
};
NamedEntry resolveEntry(const wqt::ThemeMap& map, std::string_view text);

// What was found and what is needed after a wrong size refusal: "8192 б, необходимо 2048 б
// (32 × 32 × 2)". Empty for a kind without an exact size.
std::string wrongSizeDetail(const wqt::FileEntry& entry, std::uint64_t found);

// The editor's import checks on a file offered for the entry; a ".png" for a RAW picture is
// converted. A picture the JPEG or PNG library rejects is a refusal with the library's message;
// a wrong size says both sizes; a file that is missing or cannot be read throws the file-open
// error.
wqt::ImportCandidate checkFileForEntry(const wqt::FileEntry& entry,
                                       const std::filesystem::path& file);

// Counts files done on one stderr line, only when stderr is a terminal and there are many.
class Progress {
 public:
  Progress(const char* verb, std::size_t total);
  ~Progress();
  void update(std::size_t done);

 private:
  const char* verb_;
  std::size_t total_;
  bool shown_;
};

// A path from the command line as a target: an empty one fails (status 2) saying what it was
// for; trailing "/" go, so that "out/" names the folder "out".
std::filesystem::path targetPath(const std::string& text, const char* what);

// Why the same map would not open, as it was written, a theme file of this header (the bytes
// before the data region) and these slot sizes; nullopt when it would. pack, replace and set
// write nothing it refuses.
std::optional<std::string> reopenRefusal(std::span<const std::uint8_t> header,
                                         std::span<const std::uint32_t> sizes,
                                         const wqt::MapSettings& settings);

// Writes data on stdout; a failed write (a closed pipe, a full disk) fails the command.
void printData(std::string_view text);

}  // namespace wqtcli
