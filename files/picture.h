#pragma once
// A decoded picture the window can wrap without converting pixel by pixel: rows top to bottom,
// each row padded to a multiple of 4 bytes.
#include <cstdint>
#include <vector>

namespace wqt {

struct Picture {
  enum class Format { Rgb24, Indexed8 };  // Rgb24: bytes R, G, B per pixel
  int width = 0;
  int height = 0;
  Format format = Format::Rgb24;
  int bytesPerLine = 0;
  std::vector<std::uint8_t> pixels;
  std::vector<std::uint32_t> palette;  // Indexed8 only: 0xFFRRGGBB per index

  bool isNull() const { return width == 0 || height == 0; }
};

}  // namespace wqt
