#include "ops/theme_open.h"

#include "theme/theme_messages.h"

namespace wqt {

namespace {

OpenRefusal openRefusalOf(ParsedTheme::Status status) {
  using Status = ParsedTheme::Status;
  return status == Status::Signature1Mismatch   ? OpenRefusal::Signature1
         : status == Status::Signature2Mismatch ? OpenRefusal::Signature2
         : status == Status::SlotTooLarge       ? OpenRefusal::SlotTooLarge
                                                : OpenRefusal::None;
}

}  // namespace

OpenOutcome openOutcomeOf(const std::function<ParsedTheme::Status(std::int32_t&)>& open) {
  OpenOutcome outcome;
  try {
    std::int32_t tooLarge = -1;
    outcome.refusal = openRefusalOf(open(tooLarge));
    if (outcome.refusal == OpenRefusal::SlotTooLarge) outcome.tooLargeEntry = tooLarge;
  } catch (const Error& e) {
    outcome.refusal =
        e.code() == ErrorCode::StreamRead ? OpenRefusal::CutShort : OpenRefusal::Unreadable;
    outcome.error = e;
  }
  return outcome;
}

const char* openStatusText(OpenRefusal refusal) {
  if (refusal == OpenRefusal::Signature1) return kSignature1Status;
  if (refusal == OpenRefusal::Signature2) return kSignature2Status;
  return refusal == OpenRefusal::SlotTooLarge ? kSlotTooLargeStatus : nullptr;
}

const char* openMessageText(OpenRefusal refusal) {
  if (refusal == OpenRefusal::Signature1 || refusal == OpenRefusal::Signature2) {
    return kBadThemeMessage;
  }
  return refusal == OpenRefusal::SlotTooLarge ? kSlotTooLargeMessage : nullptr;
}

OpenOutcome openTheme(const std::filesystem::path& path, const ThemeMap& map, ThemeDocument& doc) {
  return openOutcomeOf([&](std::int32_t& tooLarge) {
    ParsedTheme parsed = readThemeFile(path, map.settings());
    const ParsedTheme::Status status = parsed.status;
    tooLarge = static_cast<std::int32_t>(parsed.tooLargeSlot) - 1;
    if (status == ParsedTheme::Status::Ok) doc.adopt(std::move(parsed));
    return status;
  });
}

OpenOutcome openThemeEntries(const std::filesystem::path& path, const ThemeMap& map,
                             std::optional<ThemeFileSlots>& file) {
  file.reset();
  return openOutcomeOf([&](std::int32_t& tooLarge) {
    ThemeFileSlots opened(path, map.settings());
    const ParsedTheme::Status status = opened.status();
    tooLarge = opened.tooLargeEntry();
    if (status == ParsedTheme::Status::Ok) file.emplace(std::move(opened));
    return status;
  });
}

void createTheme(const ThemeMap& map, ThemeDocument& doc) {
  doc.create(map.settings());
}

}  // namespace wqt
