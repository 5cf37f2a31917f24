#pragma once
// Header text conversion: fields hold UTF-8, the edit boxes Windows-1251.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace wqt {

// Decodes all bytes of a field, zero bytes included, with the lenient decoder: a byte below 0x80
// is one character; one of 0x80 or above starts a 2-byte sequence, a 3-byte one when bit 0x20
// is set; further bytes must be 0x80..0xBF. Any malformed or cut-off sequence gives the empty
// text. The result is Windows-1251 ("?" for characters it lacks) and keeps the zero bytes.
std::string decodeHeaderField(std::span<const std::uint8_t> field);

// What the box shows of a decoded field: the text up to its first zero byte.
inline std::string_view visibleText(std::string_view decoded) {
  return decoded.substr(0, decoded.find('\0'));
}

}  // namespace wqt
