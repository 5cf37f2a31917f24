#pragma once
// The picture that stands for a whole theme where only one fits, as a file manager's thumbnail:
// the theme's first JPG picture, else its first RAW one, fitted inside a square. Only that one
// entry's data is read, so the time does not grow with the theme.
#include <cstdint>
#include <optional>
#include <span>

#include "files/png_picture.h"
#include "map/theme_map.h"
#include "theme/theme_document.h"

namespace wqt {

inline constexpr int kDefaultThumbnailSize = 256;

// The entry whose picture stands for the theme: the first JPG entry in the map's order whose slot
// holds data, else the first such RAW entry; nullopt when there is neither.
std::optional<std::int32_t> thumbnailEntry(const ThemeMap& map, const ThemeFileSlots& file);

// A JPG or RAW entry's picture from its data, fitted inside size × size with its aspect kept; a
// picture that fits already keeps its size. A JPEG is read as any offered picture is (orientation,
// colour profile, bounded memory), so a damaged one throws JpegError or SourceError; a RAW slot
// shorter than its picture throws "Stream read error".
RgbPicture thumbnailPicture(const FileEntry& entry, std::span<const std::uint8_t> data, int size);

}  // namespace wqt
