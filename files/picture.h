#pragma once
// A decoded picture the window can show without converting it: rows top to bottom, each row
// padded to a multiple of 4 bytes. Colour pictures hold one 32-bit word 0xFFRRGGBB per pixel in
// the machine's byte order, the layout the window's raster images use natively, so showing a
// preview needs no pass over its pixels.
#include <cstdint>
#include <vector>

namespace wqt {

struct Picture {
  enum class Format { Rgb32, Indexed8 };
  int width = 0;
  int height = 0;
  Format format = Format::Rgb32;
  int bytesPerLine = 0;
  std::vector<std::uint8_t> pixels;
  std::vector<std::uint32_t> palette;  // Indexed8 only: 0xFFRRGGBB per index

  bool isNull() const { return width == 0 || height == 0; }

  // The 24-bit colour of a colour (Rgb32) picture as the opaque word it stores.
  static std::uint32_t opaqueRgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return 0xFF000000u | (r << 16) | (g << 8) | b;
  }
};

}  // namespace wqt
