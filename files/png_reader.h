#pragma once
// The one PNG reading session (libpng) behind every road that reads a PNG. The file is pulled
// piece by piece and walked chunk by chunk: only the chunks the pixels need (and the colour
// profile when asked for) reach the library, any other is skipped however long it claims to be,
// and reading stops once the last pixel arrives, so compressed data after the rows is neither
// read nor inflated. A library failure is a PngError "PNG error: <message>".
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "base/core_error.h"

namespace wqt {

// A PNG the library cannot read: a fault of the offered file, not of reading it.
class PngError : public Error {
 public:
  using Error::Error;
};

// Fills `out` as far as the file goes and says how many bytes it gave, 0 at the end. What it
// throws reaches the caller of readPng unchanged.
using PngPull = std::function<std::size_t(std::span<std::uint8_t>)>;

struct PngLimits {
  std::uint32_t maxSide = 0;  // a longer side fails as a damaged header
  bool keepProfile = false;   // the iCCP chunk is read, its profile no larger than kMaxPngProfile
};

// The largest colour profile kept; a longer iCCP chunk is skipped as if it were absent.
inline constexpr std::size_t kMaxPngProfile = 1u << 20;

struct PngHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  bool grey = false;  // no colour channels, with or without alpha
  bool interlaced = false;
  std::span<const std::uint8_t> profile;  // the ICC profile when kept and readable
};

// The form rows take, 8 bits a sample: RGB (16-bit samples keep their top byte, alpha dropped),
// RGBA or grey and alpha (16-bit samples rounded, transparency as alpha, opaque where none).
enum class PngRows { Rgb, Rgba, GreyAlpha };

// A row of the picture, `width` pixels of the chosen form, of which those at x = first,
// first + step, ... are new: every pixel when the picture is not interlaced, the pass's pixels
// when it is. Each pixel of the picture arrives exactly once.
struct PngRow {
  std::uint32_t y = 0;
  std::uint32_t first = 0;
  std::uint32_t step = 1;
  const std::uint8_t* pixels = nullptr;
};

class PngSink {
 public:
  virtual ~PngSink() = default;
  // The header is read: the form the rows are to take, or none to read no further.
  virtual std::optional<PngRows> start(const PngHeader& header) = 0;
  virtual void row(const PngRow& row) = 0;
};

// Reads the PNG from its signature on into `sink`. True once every pixel arrived, false when
// start() declined the rows. Throws PngError "PNG error: file cut short" when the file ends
// first, and passes on what the pull or the sink throws.
bool readPng(const PngPull& pull, const PngLimits& limits, PngSink& sink);

}  // namespace wqt
