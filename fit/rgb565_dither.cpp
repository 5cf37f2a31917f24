#include "fit/rgb565_dither.h"

#include <algorithm>
#include <array>

namespace wqt {

namespace {

// Each channel's step between levels of the grid and its highest level.
constexpr std::array<int, 3> kStep = {8, 4, 8};
constexpr std::array<int, 3> kTop = {248, 252, 248};

// The classic recursive 8 × 8 threshold matrix, values 0..63.
constexpr std::array<std::array<std::uint8_t, 8>, 8> kBayer = {{
    {0, 32, 8, 40, 2, 34, 10, 42},
    {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},
    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},
    {63, 31, 55, 23, 61, 29, 53, 21},
}};

void putWord(std::vector<std::uint8_t>& raw, std::size_t pixel, const std::array<int, 3>& level) {
  const unsigned word =
      unsigned(level[0] >> 3) << 11 | unsigned(level[1] >> 2) << 5 | unsigned(level[2] >> 3);
  raw[2 * pixel] = static_cast<std::uint8_t>(word);
  raw[2 * pixel + 1] = static_cast<std::uint8_t>(word >> 8);
}

std::vector<std::uint8_t> ordered(const RgbPicture& picture) {
  std::vector<std::uint8_t> raw(picture.rgb.size() / 3 * 2);
  std::size_t i = 0;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x, ++i) {
      const int threshold = 2 * kBayer[y & 7][x & 7] + 1;  // in 1/128 of a step
      std::array<int, 3> level{};
      for (int c = 0; c < 3; ++c) {
        const int v = std::min<int>(picture.rgb[3 * i + c], kTop[c]);
        const int low = v & ~(kStep[c] - 1);
        // Up a step where the value's place between the two levels passes the threshold.
        level[c] = (v - low) * 128 > threshold * kStep[c] ? low + kStep[c] : low;
      }
      putWord(raw, i, level);
    }
  }
  return raw;
}

std::vector<std::uint8_t> diffusion(const RgbPicture& picture) {
  const std::size_t width = std::size_t(picture.width);
  std::vector<std::uint8_t> raw(picture.rgb.size() / 3 * 2);
  // Errors in sixteenths, for this row and the next, with a pixel of margin on either side.
  std::vector<int> here((width + 2) * 3, 0), below((width + 2) * 3, 0);
  std::size_t i = 0;
  for (int y = 0; y < picture.height; ++y) {
    std::fill(below.begin(), below.end(), 0);
    for (std::size_t x = 0; x < width; ++x, ++i) {
      std::array<int, 3> level{};
      for (int c = 0; c < 3; ++c) {
        const std::size_t at = (x + 1) * 3 + std::size_t(c);
        // Beyond the grid's ends no level can pay an error back: it is dropped there.
        const int v =
            std::clamp(picture.rgb[3 * i + std::size_t(c)] * 16 + here[at], 0, kTop[c] * 16);
        const int step = kStep[c] * 16;
        level[c] = std::min((v + step / 2) / step * kStep[c], kTop[c]);
        const int error = v - level[c] * 16;
        here[at + 3] += error * 7 / 16;
        below[at - 3] += error * 3 / 16;
        below[at] += error * 5 / 16;
        below[at + 3] += error / 16;
      }
      putWord(raw, i, level);
    }
    std::swap(here, below);
  }
  return raw;
}

}  // namespace

std::vector<std::uint8_t> ditherToRgb565(const RgbPicture& picture, Dither dither) {
  switch (dither) {
    case Dither::Ordered:
      return ordered(picture);
    case Dither::Diffusion:
      return diffusion(picture);
    case Dither::None:
      break;
  }
  return rgbToRaw(picture);
}

}  // namespace wqt
