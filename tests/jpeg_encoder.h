#pragma once
// JPEG pictures for the tests and the benchmarks, from libjpeg's compressor: any colour space,
// progressive ones, and hostile ones.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace wqt::gen {

// `samples` holds height rows of width × components bytes in `colourSpace` (JCS_RGB with 3
// components, JCS_GRAYSCALE with 1, JCS_CMYK with 4). A library error ends the program with the
// library's own message, which is what a build tool or a test wants.
inline std::vector<std::uint8_t> encodeJpeg(const std::vector<std::uint8_t>& samples, int width,
                                            int height, int components, J_COLOR_SPACE colourSpace,
                                            int quality = 90, bool progressive = false) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&cinfo, &out, &outSize);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = components;
  cinfo.in_color_space = colourSpace;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  const std::size_t stride = static_cast<std::size_t>(width) * static_cast<std::size_t>(components);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() + cinfo.next_scanline * stride);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<std::uint8_t> bytes(out, out + outSize);
  jpeg_destroy_compress(&cinfo);
  std::free(out);
  return bytes;
}

// A small progressive colour JPEG whose frame header claims width × height pixels, its own scans
// followed by `extraScans` scans of the first component without any data. Hostile input for the
// tests and the fuzz runs: a file of a few kilobytes that makes a decoder go over the whole
// claimed picture at every scan.
inline std::vector<std::uint8_t> claimingJpeg(int width, int height, int extraScans = 0) {
  const std::vector<std::uint8_t> samples(8 * 8 * 3, 128);
  std::vector<std::uint8_t> bytes = encodeJpeg(samples, 8, 8, 3, JCS_RGB, 75, true);
  // The progressive frame header: marker, length, precision, then height and width, big-endian.
  for (std::size_t i = 0; i + 8 < bytes.size(); ++i) {
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xC2) {
      bytes[i + 5] = static_cast<std::uint8_t>(height >> 8);
      bytes[i + 6] = static_cast<std::uint8_t>(height);
      bytes[i + 7] = static_cast<std::uint8_t>(width >> 8);
      bytes[i + 8] = static_cast<std::uint8_t>(width);
      break;
    }
  }
  // Component 1, tables 0, coefficients 1 to 63, first pass; no entropy-coded data. The scans go
  // before the end-of-image marker.
  const std::uint8_t emptyScan[] = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x01, 0x3F, 0x00};
  for (int i = 0; i < extraScans; ++i) bytes.insert(bytes.end() - 2, emptyScan, emptyScan + 10);
  return bytes;
}

}  // namespace wqt::gen
