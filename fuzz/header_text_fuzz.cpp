// The input is the bytes of a header field: decoding gives Windows-1251 text no longer than the
// field, or the empty text for malformed UTF-8; storing what the box shows must never write past
// the field, and a stored field decodes back to the same text.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "base/codepage.h"
#include "theme/header_text.h"
#include "theme/theme_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> field(data, size);
  const std::string decoded = wqt::decodeHeaderField(field);
  if (decoded.size() > size) std::abort();
  const std::string_view shown = wqt::visibleText(decoded);

  // The other conversions the editor applies to header and caption text.
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  (void)wqt::isValidUtf8(bytes);
  const std::string cp = wqt::utf8ToCp1251(bytes);
  const std::string utf8 = wqt::cp1251ToUtf8(bytes);
  if (!wqt::isValidUtf8(utf8)) std::abort();

  wqt::ThemeDocument doc;
  wqt::MapSettings settings;
  doc.create(settings);
  const std::size_t before = doc.image().size();
  for (const wqt::HeaderField& f : {wqt::kAuthorField, wqt::kNameField, wqt::kVersionField}) {
    if (doc.setHeaderField(f, shown) == wqt::ThemeDocument::FieldResult::Stored) {
      if (doc.image().size() != before) std::abort();
      const std::string back = wqt::decodeHeaderField(wqt::bytesAt(doc.image(), f.offset, f.width));
      if (wqt::visibleText(back) != shown.substr(0, shown.find('\0'))) std::abort();
    }
  }
  return 0;
}
