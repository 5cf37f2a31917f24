#pragma once
// Generated inputs shared by the benchmarks and the fuzz seed generator: maps, theme files,
// JPEG pictures (encoded with libjpeg's compressor; the editor itself never encodes) and RAW
// pictures. Everything is deterministic so runs compare like with like.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sample/theme_builder.h"
#include "tests/jpeg_encoder.h"

namespace wqt::gen {

using sample::kSign1;
using sample::kSign2;

// The pictures' size and the colour tables' size of a generated map.
struct MapShape {
  unsigned width = 240;
  unsigned height = 320;
  unsigned tableSize = 0x80;
};

inline std::string hex(unsigned v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%Xh", v);
  return buf;
}

// A map with `files` file elements spread over nested groups: top-level groups of 50 files,
// each holding two levels of subgroups, kinds cycling through the four.
inline std::string nestedMap(int files, unsigned tableOffset = 0x9C, unsigned typeOffset = 0x98,
                             const MapShape& shape = {}) {
  const unsigned dataOffset = (tableOffset + 4u * static_cast<unsigned>(files) + 0xFFu) & ~0xFFu;
  std::string m;
  m += "; generated map\n";
  m += std::string("<ThemeSign sign1=\"") + kSign1 + "\" sign2=\"" + kSign2 + "\">\n";
  m += "<ThemeSettings table=\"" + hex(tableOffset) + "\" data=\"" + hex(dataOffset) +
       "\" count=\"" + hex(static_cast<unsigned>(files)) + "\">\n";
  m += "<ColorThemesSettings flag=\"no\" offset=\"" + hex(typeOffset) + "\">\n";
  static const char* const kKinds[] = {"JPG", "RAW", "ANI2", "COLORTAB"};
  for (int i = 0; i < files; ++i) {
    if (i % 50 == 0) m += "<group name=\"Group " + std::to_string(i / 50) + "\">\n";
    if (i % 10 == 0) m += "  <group name=\"Sub " + std::to_string(i / 10) + "\">\n";
    if (i % 5 == 0) m += "    <group name=\"Inner " + std::to_string(i / 5) + "\">\n";
    const char* kind = kKinds[i % 4];
    m += "      <file name=\"File " + std::to_string(i) + "\" id=\"" + std::to_string(i) +
         "\" type=\"" + kind + "\" ";
    if (i % 4 == 3) {
      m += "size=\"" + hex(shape.tableSize) + "\">\n";
    } else {
      m += "width=\"" + std::to_string(shape.width) + "\" height=\"" +
           std::to_string(shape.height) + "\">\n";
    }
    if (i % 5 == 4 || i == files - 1) m += "    </group end=\"\">\n";
    if (i % 10 == 9 || i == files - 1) m += "  </group end=\"\">\n";
    if (i % 50 == 49 || i == files - 1) m += "</group end=\"\">\n";
  }
  return m;
}

inline unsigned dataOffsetOf(int files, unsigned tableOffset = 0x9C) {
  return (tableOffset + 4u * static_cast<unsigned>(files) + 0xFFu) & ~0xFFu;
}

// A theme file for nestedMap(sizes.size()): header, type byte 1, size table, data of every file
// (byte values derived from the slot number and position).
inline std::vector<std::uint8_t> themeFile(const std::vector<std::uint32_t>& sizes,
                                           unsigned tableOffset = 0x9C,
                                           unsigned typeOffset = 0x98) {
  std::vector<std::vector<std::uint8_t>> files(sizes.size());
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    files[i].resize(sizes[i]);
    for (std::uint32_t k = 0; k < sizes[i]; ++k) {
      files[i][k] = static_cast<std::uint8_t>(i * 7 + k * 13);
    }
  }
  sample::ThemeRecipe recipe;
  recipe.author = "Bench author";
  recipe.name = "Bench theme";
  recipe.tableOffset = tableOffset;
  recipe.typeOffset = typeOffset;
  recipe.dataOffset = dataOffsetOf(static_cast<int>(sizes.size()), tableOffset);
  return sample::themeFile(recipe, files);
}

// `count` sizes that add up to exactly `total` bytes.
inline std::vector<std::uint32_t> evenSizes(int count, std::uint64_t total) {
  std::vector<std::uint32_t> sizes(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    sizes[static_cast<std::size_t>(i)] =
        static_cast<std::uint32_t>(total * static_cast<std::uint64_t>(i + 1) / count -
                                   total * static_cast<std::uint64_t>(i) / count);
  }
  return sizes;
}

// A JPEG of the given size with smooth, photo-like content; grey for a grayscale picture.
inline std::vector<std::uint8_t> jpeg(int width, int height, bool grey = false, int quality = 85,
                                      bool progressive = false) {
  const int components = grey ? 1 : 3;
  std::vector<std::uint8_t> samples;
  samples.reserve(static_cast<std::size_t>(width * height * components));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < components; ++c) {
        const int v = (x * 255 / (width > 1 ? width - 1 : 1) + y * 3 + c * 70 + ((x ^ y) & 15));
        samples.push_back(static_cast<std::uint8_t>(v & 0xFF));
      }
    }
  }
  return wqt::gen::encodeJpeg(samples, width, height, components, grey ? JCS_GRAYSCALE : JCS_RGB,
                              quality, progressive);
}

// A bare libjpeg decode of the bytes from memory into one RGB buffer: the benchmarks' baseline.
inline std::vector<std::uint8_t> bareDecode(const std::vector<std::uint8_t>& bytes) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  const std::size_t stride = cinfo.output_width * 3;
  std::vector<std::uint8_t> out(stride * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out.data() + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return out;
}

// width × height RGB565 words, little-endian.
inline std::vector<std::uint8_t> rawPicture(int width, int height) {
  std::vector<std::uint8_t> b;
  b.reserve(static_cast<std::size_t>(width * height * 2));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto w =
          static_cast<std::uint16_t>(((x & 31) << 11) | ((y & 63) << 5) | ((x + y) & 31));
      b.push_back(static_cast<std::uint8_t>(w));
      b.push_back(static_cast<std::uint8_t>(w >> 8));
    }
  }
  return b;
}

// The theme the unpack benchmarks share (the command line's and the window's): 2,000 files that
// pass the import checks, pictures and tables sized so that they make about 64 MiB.
inline constexpr int kUnpackThemeFiles = 2000;
inline constexpr MapShape kUnpackThemeShape{113, 113, 0xFFFF};

// A theme file for nestedMap(files, 0x9C, 0x98, shape) whose every file passes the import
// checks: JPEG pictures and RAW pictures of the shape's size, ANI2 and colour tables of the
// expected lengths.
inline std::vector<std::uint8_t> validThemeFile(int files, const MapShape& shape) {
  const int w = static_cast<int>(shape.width), h = static_cast<int>(shape.height);
  const std::vector<std::uint8_t> kinds[4] = {
      jpeg(w, h), rawPicture(w, h),
      std::vector<std::uint8_t>(static_cast<std::size_t>(w * h * 3 + 8), 0x5A),
      std::vector<std::uint8_t>(shape.tableSize, 0xA5)};
  std::vector<std::vector<std::uint8_t>> content;
  for (int i = 0; i < files; ++i) content.push_back(kinds[i % 4]);
  sample::ThemeRecipe recipe;
  recipe.author = "Bench author";
  recipe.name = "Bench theme";
  recipe.dataOffset = dataOffsetOf(files);
  return sample::themeFile(recipe, content);
}

}  // namespace wqt::gen
