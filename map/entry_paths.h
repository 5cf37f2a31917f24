#pragma once
// Naming an entry the way a person reads the tree: by the captions from the top of the tree,
// groups joined by "/" ("Меню/Иконки меню/Камера"), or by its number.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "map/theme_map.h"

namespace wqt {

// The captions (UTF-8) from the top of the tree down to the node, joined by "/".
std::string captionPath(const ThemeMap& map, int node);

// The caption path of the entry's file node, or "#N" for a number beyond the map's entries.
std::string entryPath(const ThemeMap& map, std::size_t entry);

struct EntryMatch {
  std::int32_t entry = -1;              // -1 when nothing or more than one entry matches
  bool ambiguous = false;               // the text leads to a group or to several files
  std::vector<std::string> candidates;  // then "<number> <path>" or "<path>/" of what was meant
};

// The entry a text names: a decimal number below the entry count, or a caption path that leads
// to exactly one file node. For an unknown path the candidates are the nodes where the path went
// astray; for an ambiguous one, the entries it matches.
EntryMatch findEntry(const ThemeMap& map, std::string_view text);

}  // namespace wqt
