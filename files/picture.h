#pragma once
// A decoded picture the window can show without converting it: rows top to bottom, each row
// padded to a multiple of 4 bytes. Colour pictures hold one 32-bit word 0xFFRRGGBB per pixel in
// the machine's byte order, the layout the window's raster images use natively, so showing a
// preview needs no pass over its pixels.
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace wqt {

// Memory for pixels, starting 8 bytes past a 32-byte boundary. libjpeg-turbo writes a row that
// starts on such a boundary with stores that bypass the cache, and a window selection whose
// buffer happened to land there took a sixth longer, the process through.
template <typename T>
struct PixelAllocator {
  using value_type = T;
  T* allocate(std::size_t n) {
    auto* block = static_cast<std::byte*>(::operator new (n * sizeof(T) + 8, std::align_val_t{32}));
    return reinterpret_cast<T*>(block + 8);
  }
  void deallocate(T* p, std::size_t) {
    ::operator delete (reinterpret_cast<std::byte*>(p) - 8, std::align_val_t{32});
  }
  bool operator==(const PixelAllocator&) const = default;
};
using PixelBuffer = std::vector<std::uint8_t, PixelAllocator<std::uint8_t>>;

struct Picture {
  enum class Format { Rgb32, Indexed8 };
  int width = 0;
  int height = 0;
  Format format = Format::Rgb32;
  int bytesPerLine = 0;
  PixelBuffer pixels;
  std::vector<std::uint32_t> palette;  // Indexed8 only: 0xFFRRGGBB per index

  bool isNull() const { return width == 0 || height == 0; }

  // The 24-bit colour of a colour (Rgb32) picture as the opaque word it stores.
  static std::uint32_t opaqueRgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return 0xFF000000u | (r << 16) | (g << 8) | b;
  }
};

}  // namespace wqt
