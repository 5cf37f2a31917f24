#include "ops/theme_save.h"

#include "base/file_io.h"
#include "base/paths.h"
#include "theme/theme_messages.h"

namespace wqt {

const char* saveMessageText(SaveRefusal refusal) {
  if (refusal == SaveRefusal::MissingFile) return kEmptySlotMessage;
  return refusal == SaveRefusal::LayoutOverlaps ? kLayoutOverlapMessage : nullptr;
}

SaveOutcome checkWritten(std::span<const std::uint8_t> header, std::span<const std::uint32_t> sizes,
                         const MapSettings& settings) {
  if (saveLayoutOverlaps(settings)) return {SaveRefusal::LayoutOverlaps, {}};
  const std::vector<std::uint8_t> saved = headerForSave(header, settings, sizes);
  // The checks throw only "Stream read error": the file would be cut short.
  SaveOutcome outcome;
  outcome.reopen =
      openOutcomeOf([&](std::int32_t&) { return reopenStatus(saved, sizes, settings); });
  if (!outcome.reopen.opened()) outcome.refusal = SaveRefusal::WouldNotReopen;
  return outcome;
}

SaveOutcome checkSave(const ThemeDocument& doc, const MapSettings& settings) {
  if (doc.hasEmptySlot(settings)) return {SaveRefusal::MissingFile, {}};
  return checkWritten(doc.image(), doc.entrySizes(settings), settings);
}

std::filesystem::path saveTarget(const std::string& chosen) {
  return replaceExtension(chosen, ".wqt");
}

SaveOutcome saveTheme(ThemeDocument& doc, const MapSettings& settings,
                      const std::filesystem::path& target) {
  SaveOutcome outcome = checkSave(doc, settings);
  if (!outcome.saved()) return outcome;
  writeFileReplacing(target, doc.rebuildForSave(settings));
  doc.markUnmodified();
  return outcome;
}

}  // namespace wqt
