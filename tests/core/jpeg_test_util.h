#pragma once
// Encodes small JPEGs in memory with libjpeg's compressor, for tests only: the editor itself
// never encodes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/jpeg_encoder.h"

namespace wqt::test {

enum class JpegColour { Rgb, Grey, Cmyk };

// How the pixels are filled: a smooth gradient, noise (large, hard-to-compress data) or one
// solid colour (r, g, b; grey uses r).
enum class JpegFill { Gradient, Noise, Solid };

struct JpegRecipe {
  int width = 16;
  int height = 16;
  JpegColour colour = JpegColour::Rgb;
  JpegFill fill = JpegFill::Gradient;
  std::uint8_t r = 0, g = 0, b = 0;
  int quality = 90;
};

inline std::vector<std::uint8_t> encodeJpeg(const JpegRecipe& recipe) {
  int components = 3;
  J_COLOR_SPACE space = JCS_RGB;
  if (recipe.colour == JpegColour::Grey) {
    components = 1;
    space = JCS_GRAYSCALE;
  } else if (recipe.colour == JpegColour::Cmyk) {
    components = 4;
    space = JCS_CMYK;
  }
  std::vector<std::uint8_t> samples(
      static_cast<std::size_t>(recipe.width * recipe.height * components));
  std::uint32_t seed = 12345;
  std::size_t at = 0;
  for (int y = 0; y < recipe.height; ++y) {
    for (int x = 0; x < recipe.width; ++x) {
      for (int c = 0; c < components; ++c) {
        std::uint8_t v = 0;
        switch (recipe.fill) {
          case JpegFill::Gradient:
            v = static_cast<std::uint8_t>(
                (x * 255 / (recipe.width > 1 ? recipe.width - 1 : 1) + y * 97 + c * 60) & 0xFF);
            break;
          case JpegFill::Noise:
            seed = seed * 1103515245u + 12345u;
            v = static_cast<std::uint8_t>(seed >> 16);
            break;
          case JpegFill::Solid:
            v = c == 0 ? recipe.r : c == 1 ? recipe.g : c == 2 ? recipe.b : 0;
            break;
        }
        samples[at++] = v;
      }
    }
  }
  return wqt::gen::encodeJpeg(samples, recipe.width, recipe.height, components, space,
                              recipe.quality);
}

inline std::vector<std::uint8_t> encodeJpeg(int width, int height) {
  JpegRecipe recipe;
  recipe.width = width;
  recipe.height = height;
  return encodeJpeg(recipe);
}

}  // namespace wqt::test
