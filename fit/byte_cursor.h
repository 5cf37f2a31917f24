#pragma once
// Reading the fields of a container's boxes and of stream headers held in memory.
#include <cstddef>
#include <cstdint>
#include <span>

namespace wqt {

// Big-endian fields of a span; past its end every read gives 0 and clears `ok`.
struct Cursor {
  std::span<const std::uint8_t> bytes;
  std::size_t pos = 0;
  bool ok = true;

  std::uint64_t take(std::size_t n) {
    if (n > bytes.size() - pos) {
      ok = false;
      pos = bytes.size();
      return 0;
    }
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = v << 8 | bytes[pos++];
    return v;
  }
  std::span<const std::uint8_t> rest() const { return bytes.subspan(pos); }
  bool done() const { return pos >= bytes.size(); }
};

}  // namespace wqt
