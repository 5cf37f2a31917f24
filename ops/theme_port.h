#pragma once
// Carrying a theme to another handset's map: each entry of the new map takes the old theme's
// entry of the same caption path, as it is when it is exact for it, fitted when it is a picture
// of another size or kind, else a base theme's entry; the new theme is written only when every
// entry is filled.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/core_error.h"
#include "fit/fit_options.h"
#include "map/theme_map.h"
#include "ops/entry_transfer.h"
#include "ops/theme_folder.h"
#include "ops/theme_save.h"
#include "theme/theme_document.h"

namespace wqt {

// A theme read one entry at a time: a file opened for it, or a document in memory.
struct ThemeEntries {
  std::span<const std::uint8_t> header;  // at least the bytes before the data region
  // The entry's data into `buffer`, empty when it holds none. May throw "Stream read error".
  std::function<void(std::int32_t entry, std::vector<std::uint8_t>& buffer)> read;
};
// Both hold on to their argument.
ThemeEntries themeEntries(const ThemeFileSlots& file);
ThemeEntries themeEntries(const ThemeDocument& doc);

enum class PortStep {
  Carried,   // the old entry's bytes as they are
  Fitted,    // the old entry's picture fitted to the new entry
  FromBase,  // the base theme's entry
  Unfilled,
};

// Why a theme's entry did not fill the new map's entry.
enum class PortMiss {
  None,
  NoEntry,    // the old map has no file of that path; for the base: no base theme given
  Empty,      // the theme holds no data there
  OtherKind,  // a file of another kind, which neither travels nor is fitted
  Refused,    // the new entry's checks refuse the data as it is, or as fitted: `refused`
  Failed,     // the picture could not be read or fitted: `error`
};

struct PortMissDetail {
  PortMiss miss = PortMiss::None;
  ImportOutcome refused;
  std::optional<Error> error;
};

struct PortedEntry {
  std::int32_t entry = -1;  // of the new map
  std::string path;         // its caption path in the new map
  PortStep step = PortStep::Unfilled;
  std::int32_t from = -1;  // the old map's entry of the same path, -1 when it has none
  PortMissDetail old;      // FromBase and Unfilled: why the old entry did not fill it
  PortMissDetail base;     // Unfilled: why the base did not either
};

struct PortOutcome {
  std::vector<PortedEntry> entries;  // every entry of the new map's file count, in entry order
  SaveOutcome save;                  // the save checks on the new theme once every entry is filled
  bool stopped = false;              // interrupted

  std::size_t unfilled() const;
  bool written() const { return unfilled() == 0 && save.saved() && !stopped; }
};

// Ports the old theme (of `oldMap`) to `newMap`, a base theme (of `newMap`) filling what the old
// one cannot, and writes the result to `target` only when every entry is filled and the same
// save checks as every save pass. Old entries are matched by caption path; several files of the
// same path are matched in their order. The header texts travel, and the type byte when both maps
// have one; with the very same settings the whole header does. A failed write throws the
// file-create error, a theme cut short since it was opened "Stream read error".
PortOutcome portTheme(const ThemeMap& oldMap, const ThemeEntries& oldTheme, const ThemeMap& newMap,
                      const ThemeEntries* base, const FitOptions& options,
                      const std::filesystem::path& target, const RunHooks& hooks = {});

}  // namespace wqt
