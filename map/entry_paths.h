#pragma once
// Naming an entry the way a person reads the tree: by the captions from the top of the tree,
// groups joined by "/" ("Меню/Иконки меню/Камера"), or by its number.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "map/theme_map.h"

namespace wqt {

// A longer caption path shows only its last captions, after "…/": a node nested thousands deep
// would otherwise carry a path thousands of captions long into every listing and message.
inline constexpr std::size_t kShownPathBytes = 256;

// The captions (UTF-8) from the top of the tree down to the node, joined by "/"; when that is
// longer than kShownPathBytes, "…/" and the last captions that fit (a caption that does not fit
// alone: "…" and its end). Costs the shown length, not the depth.
std::string captionPath(const ThemeMap& map, int node);

// The caption path of the entry's file node, or "#N" for a number beyond the map's entries.
std::string entryPath(const ThemeMap& map, std::size_t entry);

// At most this many candidates are named; the rest are counted.
inline constexpr std::size_t kMaxCandidates = 20;

struct EntryMatch {
  std::int32_t entry = -1;              // -1 when nothing or more than one entry matches
  bool ambiguous = false;               // the text leads to a group or to several files
  std::vector<std::string> candidates;  // then "<number> <path>" or "<path>/" of what was meant
  std::size_t unnamed = 0;              // candidates beyond kMaxCandidates
};

// The entry a text names: a decimal number below the entry count, or a caption path that leads
// to exactly one file node. For an unknown path the candidates are the nodes where the path went
// astray; for an ambiguous one, the entries it matches.
EntryMatch findEntry(const ThemeMap& map, std::string_view text);

}  // namespace wqt
