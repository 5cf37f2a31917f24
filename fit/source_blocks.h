#pragma once
// The end of a reader whose pixels come in no row order (the passes of an interlaced PNG): each
// pixel, composited on the background, is added to its block of the reduced picture at once, so
// only the reduced picture is held, never the whole one.
#include <cstdint>
#include <vector>

#include "files/picture.h"
#include "fit/fit_options.h"

namespace wqt {

class SourceBlocks {
 public:
  // width × height pixels, reduced by `factor` as SourceRows reduces them.
  SourceBlocks(int width, int height, int factor, Rgb background);

  // The pixels at x = first, first + step, ... of stored row y, taken from a row of width R, G,
  // B, A pixels.
  void add(int y, int first, int step, const std::uint8_t* rgba);
  // The upright picture, once every pixel was added.
  Picture finish();

 private:
  template <typename Sum>
  void accumulate(std::vector<Sum>& sums, int y, int first, int step, const std::uint8_t* rgba);
  template <typename Sum>
  void average(const std::vector<Sum>& sums);

  int width_, height_, factor_;
  Rgb background_;
  int reducedWidth_, reducedHeight_;
  // R, G, B sums per block: a block of up to 16 × 16 pixels fits 16 bits a channel, and larger
  // blocks leave few enough of them for 64.
  std::vector<std::uint16_t> smallSums_;
  std::vector<std::uint64_t> largeSums_;
  Picture picture_;
};

}  // namespace wqt
