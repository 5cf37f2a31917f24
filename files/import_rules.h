#pragma once
// The import checks of an entry's kind applied to bytes already in memory: what a theme's slots
// are checked with, and what any file offered for an entry must pass.
#include <cstdint>
#include <functional>
#include <span>

#include "files/import_export.h"
#include "files/jpeg_decoder.h"
#include "map/theme_map.h"

namespace wqt {

// A file's size as the import checks see it: the size a directory search reports (a signed
// 32-bit number, which the exact-size check compares) and its real size (which decides whether it
// fits a slot: a file of 4 GiB or more can report a small size).
struct ImportSize {
  std::int64_t reported = 0;
  std::uint64_t actual = 0;
};

// The refusal the editor's import gives a file for the entry (its code and UTF-8 message; no
// bytes), in the checks' order: unknown kind; for JPG the picture's dimensions (pictureSize is
// asked only then), then the maximum size; for the other kinds the exact size, then the maximum.
// No refusal when the file passes. Throws what pictureSize throws ("JPEG error #N" for a header
// the library rejects).
ImportCandidate importRefusal(const FileEntry& entry, const ImportSize& size,
                              const std::function<JpegSize()>& pictureSize);

// The same checks on a file's bytes in memory.
ImportCandidate importRefusal(const FileEntry& entry, std::span<const std::uint8_t> bytes);

}  // namespace wqt
