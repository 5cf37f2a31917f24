#pragma once
// The theme map: what "theme.rxt" says about a theme file's layout and its embedded files.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "map/xml_lib.h"

namespace wqt {

inline constexpr const char* kMapFileName = "theme.rxt";

// Values that keep their content until a later map line sets them again, across loads too.
struct MapSettings {
  std::string signature1;
  std::string signature2;
  std::uint16_t tableOffset = 0;
  std::uint16_t dataOffset = 0;
  std::uint16_t fileCount = 0;
  std::string colourFlag;
  std::uint16_t typeByteOffset = 0;

  // Whether theme files carry the theme-type byte (the colour flag is "no").
  bool hasTypeByte() const { return colourFlag == "no"; }
};

// The kinds of embedded file the editor knows; any other kind text is Other.
enum class EntryKind { Jpg, Raw, Ani2, ColourTable, Other };

// The kind a map's kind text names: "JPG", "RAW", "ANI2" or "COLORTAB", compared exactly and
// case-sensitively.
EntryKind entryKindOf(std::string_view kindText);

struct FileEntry {
  EntryKind kind = EntryKind::Other;
  std::string kindName;  // the kind as the map writes it (raw bytes), kept for display
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint32_t expectedSize = 0;  // bytes, for "COLORTAB"; a theme holds no larger file
};

// A node of the file tree. Nodes are only ever appended as the last node in display order, so a
// node's position in ThemeMap::tree() is its display index.
struct TreeNode {
  std::string caption;      // raw bytes of the map
  int parent = -1;          // display index of the parent group, -1 at top level
  std::int32_t entry = -1;  // a file node's entry number; -1 for a group
  std::vector<int> children;

  bool isFile() const { return entry >= 0; }
};

class ThemeMap {
 public:
  enum class LoadResult { Loaded, MapMissing };

  // Reads the map afresh. The tree is always emptied and the type selector marked hidden; a
  // missing map stops there, keeping entries, node index table and settings. Errors (unreadable
  // file, bad decimal, unbalanced "/group") are thrown as wqt::Error with the tree, entries and
  // selector state as far as the load got.
  LoadResult load(const std::filesystem::path& mapPath,
                  xml::ValueTable& values = xml::processValueTable());

  // The entry number of a display index, -1 when the node index table has none.
  std::int32_t entryOfNode(int displayIndex) const {
    return displayIndex >= 0 && static_cast<std::size_t>(displayIndex) < nodeIndex_.size()
               ? nodeIndex_[static_cast<std::size_t>(displayIndex)]
               : -1;
  }
  // The display index of an entry's file node, -1 when the tree has none.
  int entryNode(std::int32_t e) const {
    return e >= 0 && static_cast<std::size_t>(e) < entryNodes_.size()
               ? entryNodes_[static_cast<std::size_t>(e)]
               : -1;
  }

  // A node's caption as UTF-8: taken as it is when the map (after a byte-order mark, which is
  // skipped) was valid UTF-8 holding a non-ASCII byte or starting with the mark, otherwise
  // decoded from Windows-1251.
  std::string captionUtf8(int displayIndex) const {
    return textUtf8(tree_.at(static_cast<std::size_t>(displayIndex)).caption);
  }
  // Whether the node's caption as UTF-8 is `utf8`; a caption that cannot be is not converted, so
  // looking a name up among a million nodes costs little more than comparing their bytes.
  bool captionIs(int displayIndex, std::string_view utf8) const;
  // Any text of the map (a caption, a kind, a value) as UTF-8, by the same rule.
  std::string textUtf8(std::string_view bytes) const;

  // The kind as the map names it, as UTF-8 by the captions' rule.
  std::string kindText(const FileEntry& entry) const { return textUtf8(entry.kindName); }

  const MapSettings& settings() const { return settings_; }
  const std::vector<TreeNode>& tree() const { return tree_; }
  const std::vector<FileEntry>& entries() const { return entries_; }
  // The entry, or nullptr when the map has none of that number.
  const FileEntry* entry(std::int32_t e) const {
    return e >= 0 && static_cast<std::size_t>(e) < entries_.size()
               ? &entries_[static_cast<std::size_t>(e)]
               : nullptr;
  }
  // The last load found a "ColorThemesSettings" with flag "no": the type selector is shown.
  bool typeSelectorShown() const { return typeSelectorShown_; }
  bool captionsAreUtf8() const { return captionsAreUtf8_; }

 private:
  // The values of the lines read so far, slot 0 being "value 1".
  using LineValues = std::array<std::string_view, std::tuple_size_v<xml::ValueTable>>;
  void readFile(const LineValues& v);
  int appendNode(std::string_view caption, std::int32_t entry);
  void linkChildren();

  MapSettings settings_;
  std::vector<TreeNode> tree_;
  std::size_t nodeCount_ = 0;  // the nodes of the load under way; tree_ holds more until it ends
  std::vector<FileEntry> entries_;
  std::vector<std::int32_t> nodeIndex_;  // entry number by display index
  std::vector<int> entryNodes_;          // display index by entry number
  bool typeSelectorShown_ = false;
  bool captionsAreUtf8_ = false;
  std::string textBuffer_;       // holds the map's bytes during a load; kept for the next load
  std::vector<int> groupStack_;  // the groups open during a load, innermost last
};

// Whether the path names a regular file, or a link to one: a folder of that name is no map.
bool mapExists(const std::filesystem::path& mapPath);

}  // namespace wqt
