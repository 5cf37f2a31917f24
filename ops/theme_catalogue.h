#pragma once
// A theme as one HTML page to look at anywhere, a phone included: its header, then every file of
// the map's tree by group, each with its picture, caption path, kind, dimensions and size. The
// page stands alone: pictures are data URIs (a JPG's bytes as they are, a RAW picture as PNG),
// and it has no scripts.
#include <functional>
#include <string>
#include <string_view>

#include "map/theme_map.h"
#include "theme/theme_document.h"

namespace wqt {

// Takes the page piece by piece, so a large theme's page need not be held whole.
using TextSink = std::function<void(std::string_view)>;

// The page of an opened theme, `title` heading it, its header as info shows it. Each file's data
// is read when its card is written. A RAW picture shorter than its size gets a note instead of a
// picture; a file that cannot be read throws as ThemeFileSlots::read does.
void writeCatalogue(const ThemeMap& map, const ThemeFileSlots& file, std::string_view title,
                    const TextSink& out);

// The note a RAW picture shorter than its size gets.
inline constexpr const char* kShortRawNote =
    "Рисунок не показан: в файле меньше байтов, чем нужно.";

}  // namespace wqt
