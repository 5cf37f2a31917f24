#pragma once
// Saving a theme: every refusal first (where the window asks before its save dialog), then the
// write that replaces the file only once complete.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "map/theme_map.h"
#include "ops/theme_open.h"
#include "theme/theme_document.h"

namespace wqt {

enum class SaveRefusal {
  None,
  MissingFile,     // an entry of the file count is empty: kEmptySlotMessage
  LayoutOverlaps,  // the map's regions overlap: kLayoutOverlapMessage
  WouldNotReopen,  // the same map would not open the file as written: see `reopen`
};

struct SaveOutcome {
  SaveRefusal refusal = SaveRefusal::None;
  OpenOutcome reopen;  // WouldNotReopen: what the open would say

  bool saved() const { return refusal == SaveRefusal::None; }
};

// The editor's message text for MissingFile and LayoutOverlaps, nullptr for the others.
const char* saveMessageText(SaveRefusal refusal);

// Every refusal a save meets, changing and writing nothing.
SaveOutcome checkSave(const ThemeDocument& doc, const MapSettings& settings);

// The overlap and reopen checks on the bytes before the data region from elsewhere (a header
// kept by unpack) as a save would write them with these entry sizes.
SaveOutcome checkWritten(std::span<const std::uint8_t> header, std::span<const std::uint32_t> sizes,
                         const MapSettings& settings);

// The file a save writes for a chosen name: the name with ".wqt" forced on it.
std::filesystem::path saveTarget(const std::string& chosen);

// checkSave, then the write; afterwards the document counts as unmodified. A failed write throws
// the file-create error (with its errno) and leaves an existing file as it was.
SaveOutcome saveTheme(ThemeDocument& doc, const MapSettings& settings,
                      const std::filesystem::path& target);

}  // namespace wqt
