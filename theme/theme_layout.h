#pragma once
// The byte layout of a WQT theme file. Header fields have fixed offsets; the type byte, the size
// table and the data region lie where the theme map says. Numbers are little-endian.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string_view>

#include "base/core_error.h"

namespace wqt {

inline constexpr std::size_t kSignature1Offset = 0;
inline constexpr std::size_t kSignature1Length = 13;
inline constexpr std::size_t kSignature2Offset = 14;
inline constexpr std::size_t kSignature2Length = 17;
inline constexpr std::size_t kFileCountOffset = 148;
inline constexpr std::size_t kHeaderFixedEnd = 152;  // end of the fixed header fields

// The capacity of a file slot: no embedded file may be larger.
inline constexpr std::uint32_t kSlotCapacity = 524288;

struct HeaderField {
  std::size_t offset;
  std::size_t width;  // bytes in the file
  int boxLimit;       // characters the edit box accepts
};
inline constexpr HeaderField kAuthorField{32, 52, 52};
inline constexpr HeaderField kNameField{85, 52, 52};
inline constexpr HeaderField kVersionField{140, 5, 5};

// Texts of a new theme's header.
inline constexpr std::string_view kNewAuthorCp1251 =
    "\xC0\xE2\xF2\xEE\xF0 \xF2\xE5\xEC\xFB";  // "Автор темы"
inline constexpr std::string_view kNewNameCp1251 =
    "\xCD\xE0\xE7\xE2\xE0\xED\xE8\xE5 \xF2\xE5\xEC\xFB";  // "Название темы"
inline constexpr std::string_view kNewVersion = "1.0";

// `length` bytes of the image at `offset`. Throws "Stream read error" past the image's end.
inline std::span<const std::uint8_t> bytesAt(std::span<const std::uint8_t> image,
                                             std::size_t offset, std::size_t length) {
  if (offset > image.size() || image.size() - offset < length) throwStreamReadError();
  return image.subspan(offset, length);
}

inline std::uint32_t readU32LE(std::span<const std::uint8_t> bytes, std::size_t offset) {
  const auto b = bytesAt(bytes, offset, 4);
  return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
         static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

inline void writeU32LE(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
  // Callers size the buffer first; writing outside it is a programming fault.
  if (offset > bytes.size() || bytes.size() - offset < 4) {
    throw std::out_of_range("writeU32LE past the end of the buffer");
  }
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace wqt
