#pragma once
// The folder layout of a theme's files on disk (unpack, pack, saving a whole group): group
// captions become folders, each file is named by its caption and its export extension, every
// name made safe and unique the same way every time for the same map.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "map/theme_map.h"

namespace wqt {

// How RAW pictures are written: as their bytes, or as 8-bit RGB PNG pictures.
enum class RawFormat { Raw, Png };

// A caption as one safe file or folder name, by the rules unpackLayout follows (without making it
// unique): for a single file named after its caption.
std::string safeName(std::string_view caption);

// The names taken in one folder, and for each name asked for the number to try next: thousands of
// files of one caption then cost what as many different captions do, not a search from " (2)"
// each.
struct TakenNames {
  std::set<std::string> names;
  std::map<std::string, int> next;
};

// `stem` and `ext` joined, or with " (2)", " (3)"... before `ext` when `used` holds that name
// already; the name given is added to `used`.
std::string uniqueName(TakenNames& used, const std::string& stem, std::string_view ext);

struct LayoutItem {
  std::int32_t entry = -1;
  std::string path;  // relative, folders joined by "/", UTF-8
};

// The extension of an entry's file: the kind's export extension, ".png" for a RAW picture written
// as PNG, ".bin" for a kind the editor does not know.
std::string_view layoutExtension(const FileEntry& entry, RawFormat raw);

// The relative path of every file node under `root` (a group's display index, or -1 for the
// whole tree) whose entry `present` accepts, in display order; paths are relative to the root.
// A name never holds "/", "\" or control characters (each becomes "_"), is never empty, "." or
// "..", and is cut to fit the file system's 255 bytes; a name that an earlier node of the same
// folder already took gets " (2)", " (3)"... before its extension. Names are given over every
// node of the map, present or not, so they do not change with what a theme holds.
// A path longer than the file system takes (4096 bytes, groups nested too deep) is refused with
// kLayoutTooDeepMessage.
std::vector<LayoutItem> unpackLayout(const ThemeMap& map, int root,
                                     const std::function<bool(std::int32_t entry)>& present,
                                     RawFormat raw = RawFormat::Raw);

inline constexpr const char* kLayoutTooDeepMessage =
    "Группы вложены слишком глубоко: путь к файлу длиннее 4096 байт, такой путь файловая "
    "система не допускает. Ничего не записано.";

struct WriteHooks {
  // Asked once, before anything is written, when some of the files exist already (their paths);
  // false writes nothing. Without it an existing file is an error.
  std::function<bool(const std::vector<std::filesystem::path>& existing)> confirmReplace;
  // Told after each file; false stops before the next one.
  std::function<bool(std::size_t written, std::size_t total)> progress;
};

struct WriteResult {
  std::size_t written = 0;
  bool stopped = false;  // a hook said stop
};

// Writes each item's bytes (from `content`, valid until its next call) to folder/item.path,
// creating the folders on the way. Nothing is written outside `folder`: links met on the way are
// not followed. A path of 4096 bytes or more is refused with kLayoutTooDeepMessage before
// anything is made. A failure throws the file-create error naming the file; the files written
// before it stay, and the failed one leaves nothing under its name. An existing file is replaced
// by renaming a complete new one over it; the temporary name is created afresh, never reused.
WriteResult writeLayoutFiles(
    const std::filesystem::path& folder, const std::vector<LayoutItem>& items,
    const std::function<std::span<const std::uint8_t>(const LayoutItem&)>& content,
    const WriteHooks& hooks = {});

}  // namespace wqt
