#pragma once
// Encodes small JPEGs in memory with libjpeg's compressor, for tests only: the editor itself
// never encodes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace wqt::test {

enum class JpegColour { Rgb, Grey, Cmyk };

// How the pixels are filled: a smooth gradient, noise (large, hard-to-compress data) or one
// solid colour (r, g, b; grey uses r).
enum class JpegFill { Gradient, Noise, Solid };

struct JpegSpec {
  int width = 16;
  int height = 16;
  JpegColour colour = JpegColour::Rgb;
  JpegFill fill = JpegFill::Gradient;
  std::uint8_t r = 0, g = 0, b = 0;
  int quality = 90;
};

inline std::vector<std::uint8_t> encodeJpeg(const JpegSpec& spec) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&cinfo, &out, &outSize);

  int components = 3;
  cinfo.in_color_space = JCS_RGB;
  if (spec.colour == JpegColour::Grey) {
    components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
  } else if (spec.colour == JpegColour::Cmyk) {
    components = 4;
    cinfo.in_color_space = JCS_CMYK;
  }
  cinfo.image_width = static_cast<JDIMENSION>(spec.width);
  cinfo.image_height = static_cast<JDIMENSION>(spec.height);
  cinfo.input_components = components;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, spec.quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);

  std::vector<JSAMPLE> row(static_cast<std::size_t>(spec.width * components));
  std::uint32_t seed = 12345;
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < spec.width; ++x) {
      for (int c = 0; c < components; ++c) {
        std::uint8_t v = 0;
        switch (spec.fill) {
          case JpegFill::Gradient:
            v = static_cast<std::uint8_t>(
                (x * 255 / (spec.width > 1 ? spec.width - 1 : 1) + y * 97 + c * 60) & 0xFF);
            break;
          case JpegFill::Noise:
            seed = seed * 1103515245u + 12345u;
            v = static_cast<std::uint8_t>(seed >> 16);
            break;
          case JpegFill::Solid:
            v = c == 0 ? spec.r : c == 1 ? spec.g : c == 2 ? spec.b : 0;
            break;
        }
        row[static_cast<std::size_t>(x * components + c)] = v;
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<std::uint8_t> bytes(out, out + outSize);
  std::free(out);
  jpeg_destroy_compress(&cinfo);
  return bytes;
}

inline std::vector<std::uint8_t> encodeJpeg(int width, int height) {
  JpegSpec spec;
  spec.width = width;
  spec.height = height;
  return encodeJpeg(spec);
}

}  // namespace wqt::test
