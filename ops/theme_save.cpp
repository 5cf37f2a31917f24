#include "ops/theme_save.h"

#include "base/file_io.h"
#include "base/paths.h"
#include "theme/theme_messages.h"

namespace wqt {

namespace {

// What the open would say of the file a save writes from this header and these sizes.
OpenOutcome reopenOutcome(std::span<const std::uint8_t> header,
                          std::span<const std::uint32_t> sizes, const MapSettings& settings) {
  OpenOutcome outcome;
  try {
    outcome.refusal = openRefusalOf(reopenStatus(header, sizes, settings));
  } catch (const Error& e) {
    outcome.refusal = OpenRefusal::CutShort;
    outcome.error = e;
  }
  return outcome;
}

}  // namespace

const char* saveMessageText(SaveRefusal refusal) {
  switch (refusal) {
    case SaveRefusal::MissingFile:
      return kEmptySlotMessage;
    case SaveRefusal::LayoutOverlaps:
      return kLayoutOverlapMessage;
    default:
      return nullptr;
  }
}

SaveOutcome checkWritten(std::span<const std::uint8_t> header, std::span<const std::uint32_t> sizes,
                         const MapSettings& settings) {
  SaveOutcome outcome;
  if (saveLayoutOverlaps(settings)) {
    outcome.refusal = SaveRefusal::LayoutOverlaps;
    return outcome;
  }
  outcome.reopen = reopenOutcome(headerForSave(header, settings, sizes), sizes, settings);
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
