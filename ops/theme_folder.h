#pragma once
// A theme's files in a folder and back: the window's "save all files" of a group, the command
// line's unpack (every file and theme.json) and pack (a theme from such a folder). Long runs take
// hooks for progress and interruption.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/core_error.h"
#include "files/unpack_layout.h"
#include "fit/fit_options.h"
#include "map/theme_map.h"
#include "ops/entry_transfer.h"
#include "ops/theme_check.h"
#include "ops/theme_header.h"
#include "ops/theme_open.h"
#include "theme/theme_document.h"

namespace wqt {

// The files "save all" writes for a group (its display index; -1 for the whole theme): every entry
// under it that holds data, laid out as unpack lays them out.
std::vector<LayoutItem> saveAllLayout(const ThemeMap& map, const ThemeDocument& doc, int group);

// Writes the items' data into `folder` (see writeLayoutFiles for the hooks and the errors).
WriteResult saveAllFiles(const ThemeDocument& doc, const std::vector<LayoutItem>& items,
                         const std::filesystem::path& folder, const WriteHooks& hooks);

// What unpack writes beside a theme's files and pack reads back: the header fields as the editor
// shows them, the theme type, the header's bytes (so that bytes the editor carries unchanged
// survive the round trip) and, per entry, its caption path and its file.
inline constexpr const char* kThemeJsonName = "theme.json";
// Refused above this size before it is parsed: a real description is a few hundred kilobytes at
// most, and parsing costs several times the text's size in memory.
inline constexpr std::size_t kThemeJsonLimit = std::size_t{16} << 20;

struct FolderEntry {
  std::int32_t index = -1;
  std::string path;  // caption path, for people reading the file
  std::string kind;
  std::optional<std::string> file;  // relative to the folder; none for a missing file
  bool operator==(const FolderEntry&) const = default;
};

struct ThemeFolder {
  std::array<std::optional<std::string>, 3> fields;  // UTF-8 as shown, in kNamedFields' order
  std::optional<std::string> type;                   // themeTypeKey()
  std::optional<std::vector<std::uint8_t>> header;   // the bytes before the data region
  std::vector<FolderEntry> entries;
  bool operator==(const ThemeFolder&) const = default;
};

std::string toThemeJson(const ThemeFolder& folder);

// Reads theme.json in memory that follows the description, not the text; anything it cannot use
// throws a wqt::Error whose text says what (Russian, starting "theme.json: ").
ThemeFolder fromThemeJson(std::string_view text);

// Progress and interruption of a long run. `progress` is told after each file; `interrupted` is
// asked between files and before the result replaces its target: true stops the run, which then
// leaves nothing behind.
struct RunHooks {
  std::function<void(std::size_t done, std::size_t total)> progress;
  std::function<bool()> interrupted;
};

struct UnpackOutcome {
  enum class Refusal {
    None,
    TargetIsFile,    // the folder named is a file
    TargetNotEmpty,  // the folder exists and holds something
    NotOpened,       // see `open`
    EntryFailed,     // an entry's data cannot become its file: `where` and `error`
    Stopped,         // interrupted
  };
  Refusal refusal = Refusal::None;
  OpenOutcome open;
  std::string where;  // EntryFailed: the entry's caption path
  std::optional<Error> error;
};

// Every present file of the theme into a new folder (made beside the target and renamed over
// it once complete, an empty folder of that name taken over), with theme.json. A failed write
// throws the file-create error.
UnpackOutcome unpackTheme(const ThemeMap& map, const std::filesystem::path& theme,
                          const std::filesystem::path& folder, RawFormat raw,
                          const RunHooks& hooks);

struct PackOutcome {
  std::vector<ThemeProblem> problems;  // in the order found; nothing is written when there is any
  bool stopped = false;                // interrupted
  bool written() const { return problems.empty() && !stopped; }
};

// A theme from a folder unpack wrote: theme.json's header and fields, every entry's file checked
// as the editor's import checks it. The theme replaces `target` only when nothing is wrong. A
// folder or theme.json that cannot be read throws the file-open error; a theme.json that is no
// description throws as fromThemeJson does, one above kThemeJsonLimit too, and one that is a link
// or anything but a regular file, which could lead out of the folder. With `fit`, a JPEG or
// PNG that is not exact for its JPG or RAW entry is fitted to it (checkFittedImport).
PackOutcome packTheme(const ThemeMap& map, const std::filesystem::path& folder,
                      const std::filesystem::path& target, const RunHooks& hooks,
                      const std::optional<FitOptions>& fit = std::nullopt);

}  // namespace wqt
