#pragma once
// The four kinds of embedded file and what goes with each: dialog filter, export extension and
// the byte size an import must have.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "map/theme_map.h"

namespace wqt {

// The kinds the editor handles; the map parses them once when it loads.
using FileKind = EntryKind;

struct KindInfo {
  FileKind kind;
  std::string_view dialogFilter;  // "description|pattern", UTF-8
  std::string_view exportExtension;
};

// The kind's information; nullopt for a kind the editor does not know (EntryKind::Other).
std::optional<KindInfo> kindInfo(EntryKind kind);

// The exact byte size an import of the entry must have: width × height × 2 for RAW,
// width × height × 3 + 8 for ANI2, the expected size for COLORTAB; nullopt for JPG and others.
std::optional<std::int64_t> expectedImportSize(const FileEntry& entry);

// That size as a product of the entry's numbers ("32 × 32 × 2"); empty where it is none.
std::string importSizeFormula(const FileEntry& entry);

}  // namespace wqt
