#include "fit/source_blocks.h"

#include <algorithm>
#include <cstring>

#include "fit/source_rows.h"

namespace wqt {

namespace {

constexpr int kSmallBlockSide = 16;

}  // namespace

SourceBlocks::SourceBlocks(int width, int height, int factor, Rgb background)
    : width_(width),
      height_(height),
      factor_(factor),
      background_(background),
      reducedWidth_((width + factor - 1) / factor),
      reducedHeight_((height + factor - 1) / factor) {
  const std::size_t blocks = std::size_t(reducedWidth_) * std::size_t(reducedHeight_);
  if (factor_ > kSmallBlockSide) {
    largeSums_.assign(blocks * 3, 0);
  } else if (factor_ > 1) {
    smallSums_.assign(blocks * 3, 0);
  }
  picture_.width = reducedWidth_;
  picture_.height = reducedHeight_;
  picture_.format = Picture::Format::Rgb32;
  picture_.bytesPerLine = picture_.width * 4;
  picture_.pixels.resize(blocks * 4);
}

template <typename Sum>
void SourceBlocks::accumulate(std::vector<Sum>& sums, int y, int first, int step,
                              const std::uint8_t* rgba) {
  Sum* row = sums.data() + std::size_t(y / factor_) * std::size_t(reducedWidth_) * 3;
  for (int x = first; x < width_; x += step) {
    const Composited c = composite(rgba + std::size_t(x) * 4, background_);
    Sum* sum = row + std::size_t(x / factor_) * 3;
    sum[0] = Sum(sum[0] + c.r);
    sum[1] = Sum(sum[1] + c.g);
    sum[2] = Sum(sum[2] + c.b);
  }
}

void SourceBlocks::add(int y, int first, int step, const std::uint8_t* rgba) {
  if (!largeSums_.empty()) return accumulate(largeSums_, y, first, step, rgba);
  if (!smallSums_.empty()) return accumulate(smallSums_, y, first, step, rgba);
  std::uint8_t* out = picture_.pixels.data() + std::size_t(y) * std::size_t(picture_.bytesPerLine);
  for (int x = first; x < width_; x += step) {
    const Composited c = composite(rgba + std::size_t(x) * 4, background_);
    const std::uint32_t word = Picture::opaqueRgb(c.r, c.g, c.b);
    std::memcpy(out + std::size_t(x) * 4, &word, 4);
  }
}

// Rounded as SourceRows rounds, so that a picture reads the same interlaced or not.
template <typename Sum>
void SourceBlocks::average(const std::vector<Sum>& sums) {
  for (int by = 0; by < reducedHeight_; ++by) {
    const std::uint64_t rows = std::uint64_t(std::min(factor_, height_ - by * factor_));
    for (int bx = 0; bx < reducedWidth_; ++bx) {
      const std::uint64_t n = rows * std::uint64_t(std::min(factor_, width_ - bx * factor_));
      const std::size_t block = std::size_t(by) * std::size_t(reducedWidth_) + std::size_t(bx);
      const Sum* sum = sums.data() + block * 3;
      const std::uint32_t word = Picture::opaqueRgb(std::uint32_t((sum[0] + n / 2) / n),
                                                    std::uint32_t((sum[1] + n / 2) / n),
                                                    std::uint32_t((sum[2] + n / 2) / n));
      std::memcpy(picture_.pixels.data() + block * 4, &word, 4);
    }
  }
}

Picture SourceBlocks::finish() {
  if (!largeSums_.empty()) average(largeSums_);
  if (!smallSums_.empty()) average(smallSums_);
  return std::move(picture_);
}

}  // namespace wqt
