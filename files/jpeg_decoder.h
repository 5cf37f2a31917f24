#pragma once
// JPEG decoding with libjpeg from memory. A fatal library error becomes wqt::Error
// "JPEG error #<message code>"; warnings and trace messages are ignored.
#include <cstdint>
#include <span>

#include "files/picture.h"

namespace wqt {

struct JpegSize {
  int width = 0;
  int height = 0;
};

// Reads only the header. Empty bytes read as 0 × 0 without calling the library.
JpegSize readJpegSize(std::span<const std::uint8_t> bytes);

// Decodes the whole picture at scale 1/1 with block smoothing: 24-bit RGB, or for a grayscale
// JPEG (and when quantize is set) at most 236 colours chosen by the library into Indexed8.
Picture decodeJpeg(std::span<const std::uint8_t> bytes, bool quantize = false);

}  // namespace wqt
