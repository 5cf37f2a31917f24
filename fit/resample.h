#pragma once
// The fitted picture before it is stored: the placement's part of the source resampled with a
// Lanczos-3 filter (pixman's separable convolution, one axis at a time) on a target-sized canvas
// of the background colour.
#include "files/png_picture.h"
#include "fit/fit_options.h"
#include "fit/source_picture.h"

namespace wqt {

RgbPicture resamplePicture(const SourcePicture& source, const FitTarget& target,
                           const FitOptions& options);

}  // namespace wqt
