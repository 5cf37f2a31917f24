#pragma once
// What a HEIC or AVIF file's boxes say its primary picture takes to decode, read before the
// library decodes anything: whether it is a grid of tiles, and the largest picture a codec is
// given, by the sizes the stream headers carry as well as the sizes the container claims.
#include <cstdint>
#include <optional>

#include "fit/byte_reader.h"

namespace wqt {

struct HeifLayout {
  std::uint32_t primary = 0;
  // The grid's output pixels: the larger of its claimed size and its grid description; 0 when
  // the primary picture is not a grid whose every tile is known.
  std::uint64_t gridPixels = 0;
  // The most pixels of any one coded picture in the file, 0 when none tells its size.
  std::uint64_t codedPixels = 0;
  // The primary picture's quarter turns anticlockwise, and whether it is also mirrored or
  // cropped: for each, the library makes a new whole picture.
  int quarterTurns = 0;
  bool reshaped = false;
};

// Nothing when the boxes are not the plain structure read here (or exceed its caps): then the
// sizes the streams carry are not known, and the file is not decoded.
std::optional<HeifLayout> readHeifLayout(ByteReader& reader);

}  // namespace wqt
