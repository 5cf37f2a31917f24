#include "theme/theme_layout.h"

#include <stdexcept>

#include "base/core_error.h"

namespace wqt {

std::span<const std::uint8_t> bytesAt(std::span<const std::uint8_t> image, std::size_t offset,
                                      std::size_t length) {
  if (offset > image.size() || image.size() - offset < length) throwStreamReadError();
  return image.subspan(offset, length);
}

std::uint32_t readU32LE(std::span<const std::uint8_t> bytes, std::size_t offset) {
  const auto b = bytesAt(bytes, offset, 4);
  return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
         static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

void writeU32LE(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
  // Callers size the buffer first; writing outside it is a programming fault.
  if (offset > bytes.size() || bytes.size() - offset < 4) {
    throw std::out_of_range("writeU32LE past the end of the buffer");
  }
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace wqt
