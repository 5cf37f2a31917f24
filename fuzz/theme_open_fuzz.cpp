// The input is a theme file opened against the sample map: the check either refuses it (a status
// or "Stream read error") or yields a document that shows its header, takes edits and rebuilds
// for saving. Reading the file by path must agree with checking its bytes in memory.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/core_error.h"
#include "fuzz/fuzz_common.h"
#include "map/theme_map.h"
#include "theme/header_text.h"
#include "theme/theme_document.h"

namespace {

const wqt::ThemeMap& sampleMap() {
  static const wqt::ThemeMap map = [] {
    wqt::ThemeMap m;
    wqt::xml::ValueTable values;
    if (m.load(WQT_SAMPLE_MAP, values) != wqt::ThemeMap::LoadResult::Loaded) std::abort();
    return m;
  }();
  return map;
}

struct Outcome {
  bool threw = false;
  wqt::ParsedTheme parsed;
};

template <typename Open>
Outcome run(Open open) {
  Outcome o;
  try {
    o.parsed = open();
  } catch (const wqt::Error&) {
    o.threw = true;
  }
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static wqt::fuzz::MemFile file("theme");
  const wqt::ThemeMap& map = sampleMap();
  const wqt::MapSettings& settings = map.settings();

  Outcome inMemory = run(
      [&] { return wqt::parseThemeFile(std::vector<std::uint8_t>(data, data + size), settings); });
  const auto& path = file.write(data, size);
  Outcome byPath = run([&] { return wqt::readThemeFile(path, settings); });
  if (inMemory.threw != byPath.threw) std::abort();
  if (inMemory.threw) return 0;
  if (inMemory.parsed.status != byPath.parsed.status ||
      inMemory.parsed.tooLargeSlot != byPath.parsed.tooLargeSlot ||
      inMemory.parsed.slots != byPath.parsed.slots) {
    std::abort();
  }
  if (inMemory.parsed.status != wqt::ParsedTheme::Status::Ok) return 0;

  wqt::ThemeDocument doc;
  doc.adopt(std::move(byPath.parsed));
  for (const wqt::HeaderField& f : {wqt::kAuthorField, wqt::kNameField, wqt::kVersionField}) {
    const std::string decoded =
        wqt::decodeHeaderField(wqt::bytesAt(doc.image(), f.offset, f.width));
    if (decoded.size() > f.width) std::abort();
    if (doc.setHeaderField(f, wqt::visibleText(decoded)) !=
        wqt::ThemeDocument::FieldResult::Stored) {
      // Every character of the code page is at most three UTF-8 bytes; a decoded field may still
      // hold more bytes than the field once re-encoded, which the editor refuses.
    }
  }
  if (settings.hasTypeByte())
    doc.setThemeType(settings, wqt::bytesAt(doc.image(), settings.typeByteOffset, 1)[0] & 1);
  if (!doc.hasEmptySlot(settings)) {
    const std::vector<std::uint8_t> saved = wqt::joinParts(doc.rebuildForSave(settings));
    // What was saved opens again with the same slots.
    const wqt::ParsedTheme again = wqt::parseThemeFile(saved, settings);
    if (again.status != wqt::ParsedTheme::Status::Ok) std::abort();
    for (std::size_t i = 1; i < again.slots.size(); ++i) {
      if (again.slots[i] != doc.slot(i)) std::abort();
    }
  }
  return 0;
}
