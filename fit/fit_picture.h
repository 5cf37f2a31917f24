#pragma once
// Fitting a picture to an embedded JPG or RAW file: one call from a read source picture to the
// bytes a slot stores, with the pixels those bytes show, so a window can preview exactly what
// will be stored. The steps are public too, for a dialog that keeps the fitted picture while
// only the quality or the dither changes.
//
//   SourcePicture source = readSourceFile(path, {*target, options.background});
//   FitResult result = fitPicture(source, *target, options);
//   if (!result.refusal) store(result.bytes);
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "files/png_picture.h"
#include "fit/fit_options.h"
#include "fit/resample.h"
#include "fit/source_picture.h"

namespace wqt {

struct FitResult {
  // The file to store: RGB565 words for RAW, a baseline JPEG for JPG.
  std::vector<std::uint8_t> bytes;
  // The stored pixels as shown: the RGB565 colours, or the JPEG decoded.
  RgbPicture stored;
  // JPG: the quality encoded with.
  int quality = 0;
  // The import checks' refusal of the bytes (UTF-8), as a plain import would give it: a JPG at a
  // fixed quality, or even at quality 1, may exceed the slot maximum. nullopt when they pass.
  std::optional<std::string> refusal;
};

// The fitted picture (from resamplePicture) stored for the target: dithered to RGB565, or
// encoded at the chosen quality, or at the highest quality up to kMaxAutoQuality whose file fits
// a slot, found by halving the range (at most nine encodings). A JPEG is decoded once before it
// is returned.
FitResult storePicture(const RgbPicture& fitted, const FitTarget& target,
                       const FitOptions& options);

// resamplePicture then storePicture.
FitResult fitPicture(const SourcePicture& source, const FitTarget& target,
                     const FitOptions& options);

}  // namespace wqt
