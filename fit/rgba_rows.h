#pragma once
// The common end of the readers whose library gives 8-bit R, G, B, A rows (WebP, GIF, BMP,
// TIFF): the rows are put in sRGB by the picture's own profile, reduced and turned upright.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "fit/colour_profile.h"
#include "fit/source_blocks.h"
#include "fit/source_picture.h"
#include "fit/source_rows.h"

namespace wqt {

// The longest side read, as the PNG library's own default: a row of it stays within 4 MB.
inline constexpr std::uint64_t kMaxSourceSide = 1'000'000;

// Refuses a picture whose header claims more than kMaxSourcePixels or a longer side.
void refuseOverPixelCap(std::uint64_t width, std::uint64_t height);

// The refusal of a file of a known format its library cannot read.
std::string unreadablePictureMessage(const char* format);

class RgbaRows {
 public:
  // width × height stored pixels (already within the cap), turned by `orientation` (1..8);
  // rows come in any order when `anyOrder` (then without orientation), each exactly once.
  RgbaRows(int width, int height, const SourceRequest& request, int orientation = 1,
           std::span<const std::uint8_t> icc = {}, bool anyOrder = false);

  // Stored row y: width non-premultiplied R, G, B, A pixels, in the picture's own colours.
  void row(int y, const std::uint8_t* rgba);
  // The upright picture at its full size, once every row came.
  SourcePicture finish();

 private:
  int width_, height_;
  bool swap_;
  ColourTransform profile_;
  std::vector<std::uint8_t> converted_;
  std::optional<SourceRows> rows_;
  std::optional<SourceBlocks> blocks_;
};

}  // namespace wqt
