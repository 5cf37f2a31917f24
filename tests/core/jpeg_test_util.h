#pragma once
// Encodes small JPEGs in memory with libjpeg's compressor, for tests only: the
// editor itself never encodes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/jpeg_encoder.h"

namespace wqt::test {

enum class JpegColour { Rgb, Grey, Cmyk };

// How the pixels are filled: a smooth gradient, noise (large, hard-to-compress
// data) or one solid colour (r, g, b; grey uses r).
enum class JpegFill { Gradient, Noise, Solid };

struct JpegRecipe {
  int width = 16;
  int height = 16;
  JpegColour colour = JpegColour::Rgb;
  JpegFill fill = JpegFill::Gradient;
  std::uint8_t r = 0, g = 0, b = 0;
  int quality = 90;
};

inline std::vector<std::uint8_t> encodeJpeg(const JpegRecipe& r) {
  const int components = r.colour == JpegColour::Grey ? 1 : r.colour == JpegColour::Cmyk ? 4 : 3;
  const J_COLOR_SPACE space = components == 1   ? JCS_GRAYSCALE
                              : components == 4 ? JCS_CMYK
                                                : JCS_RGB;
  std::vector<std::uint8_t> samples(static_cast<std::size_t>(r.width * r.height * components));
  std::uint32_t seed = 12345;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const int c = int(i % std::size_t(components)), pixel = int(i / std::size_t(components));
    const int x = pixel % r.width, y = pixel / r.width;
    seed = seed * 1103515245u + 12345u;
    samples[i] = r.fill == JpegFill::Noise ? std::uint8_t(seed >> 16)
                 : r.fill == JpegFill::Solid
                     ? (c == 0   ? r.r
                        : c == 1 ? r.g
                        : c == 2 ? r.b
                                 : 0)
                     : std::uint8_t((x * 255 / std::max(1, r.width - 1) + y * 97 + c * 60) & 0xFF);
  }
  return wqt::gen::encodeJpeg(samples, r.width, r.height, components, space, r.quality);
}

inline std::vector<std::uint8_t> encodeJpeg(int width, int height) {
  JpegRecipe recipe;
  recipe.width = width;
  recipe.height = height;
  return encodeJpeg(recipe);
}

}  // namespace wqt::test
