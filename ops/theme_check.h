#pragma once
// Everything wrong with a theme file that the editor would refuse or show wrongly: the open
// checks, header fields it would not store again, the layout, missing files, files the import
// would refuse and JPEG pictures that do not decode in full.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/core_error.h"
#include "map/theme_map.h"
#include "ops/entry_transfer.h"
#include "ops/theme_header.h"
#include "ops/theme_open.h"

namespace wqt {

// One thing wrong with a theme file (the check) or with a folder pack would make one of.
struct ThemeProblem {
  enum class Kind {
    NotOpened,       // `open` says why (cut short included); nothing else is checked then
    FieldTooLong,    // `field` would not be stored: `fieldOutcome`
    LayoutOverlaps,  // kLayoutOverlapMessage
    MissingFile,     // kMissingFileText (pack: theme.json names no file, or the file is empty)
    Refused,         // the import would refuse the entry's data: `import`
    CorruptJpeg,     // the picture does not decode in full: `libraryText` (may be empty)
    Unreadable,      // the entry's data or file cannot be read: `error`
    OutsideFolder,   // pack: `file` leads out of the folder
    UnknownKind,     // pack: the map has no entry of this number: kUnknownKindMessage
    FileAbsent,      // pack: `file` is not in the folder
    WouldNotReopen,  // pack: `open` says what opening the written theme would say
  };
  Kind kind;
  std::int32_t entry = -1;  // the entry concerned, -1 for the theme as a whole
  // The entry's caption path ("#N" beyond the map's entries), else the field or the target;
  // empty for the theme as a whole.
  std::string where;
  std::string file;  // pack: the file as theme.json names it
  OpenOutcome open;
  const NamedField* field = nullptr;
  FieldOutcome fieldOutcome;
  ImportOutcome import;
  std::string libraryText;
  std::optional<Error> error;
};

// Adds a problem of the kind at `where` to the list and returns it for its details.
ThemeProblem& addProblem(std::vector<ThemeProblem>& problems, ThemeProblem::Kind kind,
                         std::string where);

// The theme's problems in the order the editor would meet them. A file that cannot be read at
// all (OpenRefusal::Unreadable) is no theme: it throws the file-open error.
std::vector<ThemeProblem> checkTheme(const ThemeMap& map, const std::filesystem::path& theme);

}  // namespace wqt
