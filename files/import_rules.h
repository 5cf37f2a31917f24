#pragma once
// The import checks of an entry's kind applied to bytes already in memory: what a theme's slots
// are checked with, and what any file offered for an entry must pass.
#include <optional>
#include <span>
#include <string>

#include "map/theme_map.h"

namespace wqt {

// The refusal the editor's import gives a file of these bytes for the entry (UTF-8 message), in
// the checks' order: unknown kind; for JPG the picture's dimensions, then the maximum size; for
// the other kinds the exact size, then the maximum. nullopt when the bytes pass. Throws
// "JPEG error #N" when a JPG's header is rejected.
std::optional<std::string> importRefusal(const FileEntry& entry,
                                         std::span<const std::uint8_t> bytes);

}  // namespace wqt
