#include "fit/source_rows.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "fit/source_picture.h"

namespace wqt {

int normalOrientation(int exifValue) {
  return exifValue >= 1 && exifValue <= 8 ? exifValue : 1;
}

bool swapsAxes(int orientation) {
  return orientation >= 5;
}

int reductionFactor(int width, int height, double minScale) {
  int factor = std::max(1, static_cast<int>(std::floor(1.0 / minScale + 1e-9)));
  auto pixels = [&](int f) {
    return std::uint64_t((width + f - 1) / f) * std::uint64_t((height + f - 1) / f);
  };
  while (pixels(factor) > kSourcePixelBudget) ++factor;
  return factor;
}

SourceRows::SourceRows(int width, int height, int factor, int orientation, Rgb background)
    : width_(width),
      height_(height),
      factor_(factor),
      orientation_(normalOrientation(orientation)),
      background_(background),
      reducedWidth_((width + factor - 1) / factor),
      reducedHeight_((height + factor - 1) / factor) {
  if (factor_ > 1) sums_.assign(std::size_t(reducedWidth_) * 3, 0);
  const bool swap = swapsAxes(orientation_);
  picture_.width = swap ? reducedHeight_ : reducedWidth_;
  picture_.height = swap ? reducedWidth_ : reducedHeight_;
  picture_.format = Picture::Format::Rgb32;
  picture_.bytesPerLine = picture_.width * 4;
  picture_.pixels.resize(std::size_t(picture_.bytesPerLine) * std::size_t(picture_.height));
}

void SourceRows::put(int x, int y, std::uint32_t word) {
  const int w = reducedWidth_ - 1, h = reducedHeight_ - 1;
  int u = x, v = y;
  switch (orientation_) {
    case 2:
      u = w - x;
      break;
    case 3:
      u = w - x;
      v = h - y;
      break;
    case 4:
      v = h - y;
      break;
    case 5:
      u = y;
      v = x;
      break;
    case 6:
      u = h - y;
      v = x;
      break;
    case 7:
      u = h - y;
      v = w - x;
      break;
    case 8:
      u = y;
      v = w - x;
      break;
    default:
      break;
  }
  std::memcpy(picture_.pixels.data() + std::size_t(v) * std::size_t(picture_.bytesPerLine) +
                  std::size_t(u) * 4,
              &word, 4);
}

void SourceRows::push(const std::uint8_t* rgba) {
  if (row_ >= height_) throw std::logic_error("SourceRows: more rows than the picture has");
  const bool reduce = factor_ > 1;
  for (int x = 0; x < width_; ++x, rgba += 4) {
    const auto [r, g, b] = composite(rgba, background_);
    if (reduce) {
      std::uint64_t* sum = &sums_[std::size_t(x / factor_) * 3];
      sum[0] += r;
      sum[1] += g;
      sum[2] += b;
    } else {
      put(x, row_, Picture::opaqueRgb(r, g, b));
    }
  }
  ++row_;
  if (reduce && (row_ % factor_ == 0 || row_ == height_)) emit((row_ - 1) / factor_);
}

void SourceRows::emit(int reducedRow) {
  const int rows = row_ - reducedRow * factor_;
  for (int x = 0; x < reducedWidth_; ++x) {
    const std::uint64_t n =
        std::uint64_t(rows) * std::uint64_t(std::min(factor_, width_ - x * factor_));
    std::uint64_t* sum = &sums_[std::size_t(x) * 3];
    put(x, reducedRow,
        Picture::opaqueRgb(std::uint32_t((sum[0] + n / 2) / n), std::uint32_t((sum[1] + n / 2) / n),
                           std::uint32_t((sum[2] + n / 2) / n)));
  }
  std::fill(sums_.begin(), sums_.end(), 0);
}

Picture SourceRows::finish() {
  if (row_ != height_) throw std::logic_error("SourceRows: picture ended early");
  return std::move(picture_);
}

}  // namespace wqt
