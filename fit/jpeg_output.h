#pragma once
// Baseline JPEG files of fitted pictures, made with libjpeg: optimised Huffman tables, the JFIF
// header and nothing else (no EXIF, no profile, no comment).
#include <cstdint>
#include <vector>

#include "files/png_picture.h"

namespace wqt {

// quality 1..100, the library's scale. Throws JpegError when the library fails.
std::vector<std::uint8_t> encodeBaselineJpeg(const RgbPicture& picture, int quality);

}  // namespace wqt
