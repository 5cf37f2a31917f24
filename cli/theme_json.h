#pragma once
// theme.json: what unpack writes beside a theme's files and pack reads back. It holds the header
// fields as the editor shows them, the theme type, the header's bytes (so that bytes the editor
// carries unchanged survive the round trip) and, per entry, its caption path and its file.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wqtcli {

inline constexpr const char* kThemeJsonName = "theme.json";
// theme.json is refused above this size before it is parsed: a real description is a few
// hundred kilobytes at most, and parsing costs several times the text's size in memory.
inline constexpr std::size_t kThemeJsonLimit = std::size_t{16} << 20;

// The theme types by the value of the type byte, as theme.json, list --json and set --type
// name them.
inline constexpr const char* kThemeTypeKeys[2] = {"black", "white"};

struct FolderEntry {
  std::int32_t index = -1;
  std::string path;  // caption path, for people reading the file
  std::string kind;
  std::optional<std::string> file;  // relative to the folder; none for a missing file
  bool operator==(const FolderEntry&) const = default;
};

struct ThemeFolder {
  std::optional<std::string> author;  // UTF-8, as the editor shows it
  std::optional<std::string> name;
  std::optional<std::string> version;
  std::optional<std::string> type;                  // "black" or "white"
  std::optional<std::vector<std::uint8_t>> header;  // the bytes before the data region
  std::vector<FolderEntry> entries;
  bool operator==(const ThemeFolder&) const = default;
};

std::string toThemeJson(const ThemeFolder& folder);

// Reads theme.json; anything it cannot use fails with status 2 and a message saying what.
ThemeFolder fromThemeJson(std::string_view text);

}  // namespace wqtcli
