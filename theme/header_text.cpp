#include "theme/header_text.h"

#include "base/codepage.h"

namespace wqt {

std::string decodeHeaderField(std::span<const std::uint8_t> field) {
  std::u16string units;
  units.reserve(field.size());
  for (std::size_t i = 0; i < field.size();) {
    const std::uint8_t lead = field[i];
    // A sequence's value takes the lead's low six bits: the ordinary code point for the usual lead
    // bytes (0xC0..0xEF), computed alike for the others. Only 16 bits are kept.
    const std::size_t length = lead < 0x80 ? 1 : (lead & 0x20) != 0 ? 3 : 2;
    if (field.size() - i < length) return {};  // cut off by the field's end
    std::uint32_t value = lead < 0x80 ? lead : lead & 0x3Fu;
    for (std::size_t k = 1; k < length; ++k) {
      const std::uint8_t next = field[i + k];
      if (next < 0x80 || next > 0xBF) return {};  // malformed
      value = (value << 6) | (next & 0x3Fu);
    }
    units.push_back(static_cast<char16_t>(value & 0xFFFFu));
    i += length;
  }
  return codeUnitsToCp1251(units);
}

}  // namespace wqt
