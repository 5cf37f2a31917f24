#pragma once
// The common end of every source reader: rows of RGBA in the order they are stored are
// composited on the background, reduced by averaging blocks of pixels and put upright into the
// picture the fit works on.
#include <cstdint>
#include <vector>

#include "files/picture.h"
#include "fit/fit_options.h"

namespace wqt {

// The EXIF orientation values: 1 is upright, 2..8 mirrored and/or turned.
int normalOrientation(int exifValue);  // anything outside 1..8 reads as 1
bool swapsAxes(int orientation);       // 5..8 turn by a quarter

// The block size to average, at least 1: the largest that keeps the picture at or above
// minScale of its size, grown until the reduced picture fits the pixel budget.
int reductionFactor(int width, int height, double minScale);

struct Composited {
  unsigned r, g, b;
};

// An R, G, B, A pixel laid over the background.
inline Composited composite(const std::uint8_t* rgba, Rgb background) {
  const unsigned a = rgba[3];
  if (a == 255) return {rgba[0], rgba[1], rgba[2]};
  const auto over = [a](unsigned top, unsigned under) {
    return (top * a + under * (255 - a) + 127) / 255;
  };
  return {over(rgba[0], background.r), over(rgba[1], background.g), over(rgba[2], background.b)};
}

class SourceRows {
 public:
  // width × height pixels as stored, reduced by `factor`, turned by `orientation` (1..8).
  SourceRows(int width, int height, int factor, int orientation, Rgb background);

  // The next stored row: width pixels of R, G, B, A.
  void push(const std::uint8_t* rgba);
  // The upright picture, once every row was pushed.
  Picture finish();

 private:
  void emit(int reducedRow);
  void put(int x, int y, std::uint32_t word);

  int width_, height_, factor_, orientation_;
  Rgb background_;
  int reducedWidth_, reducedHeight_;
  int row_ = 0;
  std::vector<std::uint64_t> sums_;  // R, G, B per reduced column over the rows of the block
  Picture picture_;
};

}  // namespace wqt
