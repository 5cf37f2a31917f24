#pragma once
// Opening and creating a theme, with an outcome for every way an open is refused, so that a front
// end shows the editor's message without catching or reading texts.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

#include "base/core_error.h"
#include "map/theme_map.h"
#include "theme/theme_document.h"

namespace wqt {

enum class OpenRefusal {
  None,
  Signature1,    // signature 1 differs from the map's
  Signature2,    // signature 2 differs from the map's
  SlotTooLarge,  // an embedded file above 512 KB; tooLargeEntry names it
  CutShort,      // the file ends before its header says ("Stream read error")
  Unreadable,    // the file cannot be read: missing, a folder, no permission, a device
};

struct OpenOutcome {
  OpenRefusal refusal = OpenRefusal::None;
  // SlotTooLarge: the entry whose slot is too large (it may lie beyond the map's entries).
  std::int32_t tooLargeEntry = -1;
  // CutShort and Unreadable: the core's error, with its code, errno and path.
  std::optional<Error> error;

  bool opened() const { return refusal == OpenRefusal::None; }
};

// Runs an open that returns its status (setting the entry whose slot is too large), turning a
// file cut short or one that cannot be read into the outcome.
OpenOutcome openOutcomeOf(const std::function<ParsedTheme::Status(std::int32_t& tooLarge)>& open);

// The editor's status-line text for a refusal of the open checks (the signatures, a slot too
// large), nullptr for the others.
const char* openStatusText(OpenRefusal refusal);
// The editor's message box text for a refusal of the open checks, nullptr for the others.
const char* openMessageText(OpenRefusal refusal);

// Opens the whole theme into `doc`, which holds it unmodified afterwards; on a refusal `doc` is
// left as it was. Every check runs before anything of `doc` changes.
OpenOutcome openTheme(const std::filesystem::path& path, const ThemeMap& map, ThemeDocument& doc);

// Opens the theme to be read one entry at a time, without holding its files in memory; `file`
// holds it on success and is empty on a refusal.
OpenOutcome openThemeEntries(const std::filesystem::path& path, const ThemeMap& map,
                             std::optional<ThemeFileSlots>& file);

// A new theme from the map's settings: every entry empty, the header written, unmodified.
void createTheme(const ThemeMap& map, ThemeDocument& doc);

}  // namespace wqt
