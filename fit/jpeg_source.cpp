// JPEG sources: libjpeg reads the file piece by piece from a ByteReader, decodes at the smallest
// DCT scale that keeps twice what the target needs, and hands rows to SourceRows.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <vector>

#include "files/jpeg_session.h"
#include "fit/colour_profile.h"
#include "fit/fit_geometry.h"
#include "fit/source_decoders.h"
#include "fit/source_rows.h"

namespace wqt {

namespace {

// What the library may allocate beyond our rows for a one-scan file, within the 64 MiB a read
// takes.
constexpr long kLibraryMemoryLimit = 40L << 20;
// A multi-scan file holds its whole picture's coefficients until the last scan; it may take that
// buffer and this much beside it.
constexpr std::uint64_t kBeyondCoefficients = 48u << 20;

}  // namespace

SourcePicture decodeJpegSource(ByteReader& reader, const SourceRequest& request) {
  JpegSession s({.memoryLimit = kLibraryMemoryLimit, .metadata = true, .wholeData = true});
  // A picture whose data runs out is refused rather than fitted with the library's grey filler.
  const auto fail = [&s](bool afterHeader) {
    if (s.cutShort()) throw SourceError(kCutShortJpegMessage);
    s.fail(afterHeader);
  };
  if (!s.readHeader([&reader](std::span<std::uint8_t> out) { return reader.read(out); })) {
    fail(false);
  }
  const int width = static_cast<int>(s.cinfo.image_width);
  const int height = static_cast<int>(s.cinfo.image_height);
  if (std::uint64_t(width) * std::uint64_t(height) > kMaxSourcePixels) {
    throw SourceError(kPictureTooLargeMessage);
  }
  // Within the pixel cap the buffer stays below 600 MiB, so the limit fits a long.
  if (const std::uint64_t coefficients = s.coefficientBytes(); coefficients != 0) {
    s.setMemoryLimit(static_cast<long>(coefficients + kBeyondCoefficients));
  }

  const int orientation = normalOrientation(exifOrientation(s.exif()));
  const bool swap = swapsAxes(orientation);
  const double minScale =
      minimumReadScale(swap ? height : width, swap ? width : height, request.target);
  const std::vector<std::uint8_t> icc = s.iccProfile();

  using Layout = ColourTransform::Layout;
  const J_COLOR_SPACE stored = s.cinfo.jpeg_color_space;
  const bool cmyk = stored == JCS_CMYK || stored == JCS_YCCK;
  const bool grey = stored == JCS_GRAYSCALE;
  const bool inverted = cmyk && s.cinfo.saw_Adobe_marker;
  const Layout layout = cmyk   ? (inverted ? Layout::InvertedCmyk : Layout::Cmyk)
                        : grey ? Layout::Grey
                               : Layout::Rgb;
  const ColourTransform profile = ColourTransform::fromProfile(icc, layout);
  // The library gives R, G, B, A itself unless a profile or CMYK needs the samples as stored.
  const J_COLOR_SPACE out = cmyk       ? JCS_CMYK
                            : !profile ? JCS_EXT_RGBA
                            : grey     ? JCS_GRAYSCALE
                                       : JCS_RGB;

  // The smallest scale of n/8 at or above the minimum, made smaller while over the budget.
  int scale = std::clamp(static_cast<int>(std::ceil(minScale * 8 - 1e-9)), 1, 8);
  const bool started = s.guarded([&] {
    s.cinfo.out_color_space = out;
    s.cinfo.scale_denom = 8;
    for (;;) {
      s.cinfo.scale_num = static_cast<unsigned>(scale);
      jpeg_calc_output_dimensions(&s.cinfo);
      if (scale == 1 ||
          std::uint64_t{s.cinfo.output_width} * s.cinfo.output_height <= kSourcePixelBudget) {
        break;
      }
      --scale;
    }
    jpeg_start_decompress(&s.cinfo);
  });
  if (!started || s.cutShort()) fail(true);

  const int outWidth = static_cast<int>(s.cinfo.output_width);
  const int outHeight = static_cast<int>(s.cinfo.output_height);
  const int factor = reductionFactor(outWidth, outHeight, std::min(1.0, minScale * 8 / scale));
  SourceRows rows(outWidth, outHeight, factor, orientation, request.background);
  std::vector<JSAMPLE> samples(std::size_t(outWidth) * std::size_t(s.cinfo.output_components));
  std::vector<std::uint8_t> rgba(out == JCS_EXT_RGBA ? 0 : std::size_t(outWidth) * 4);
  JSAMPROW row = samples.data();
  for (int y = 0; y < outHeight; ++y) {
    if (!s.guarded([&] { jpeg_read_scanlines(&s.cinfo, &row, 1); })) fail(true);
    if (out == JCS_EXT_RGBA) {
      rows.push(samples.data());
      continue;
    }
    if (profile) {
      profile.toRgba(samples.data(), rgba.data(), outWidth);
    } else {
      cmykToRgba(samples.data(), rgba.data(), outWidth, inverted);
    }
    rows.push(rgba.data());
  }
  if (!s.guarded([&] { jpeg_finish_decompress(&s.cinfo); }) || s.cutShort()) fail(true);
  return {rows.finish(), swap ? height : width, swap ? width : height};
}

}  // namespace wqt
