#pragma once
// Where a picture goes in its target: the part of the picture used and the part of the target
// it fills, and how far a picture may be reduced while it is read.
#include "fit/fit_options.h"

namespace wqt {

// A rectangle of the upright picture at its full size, in pixels; fractional, so that a centred
// crop stays centred.
struct SourceRect {
  double x = 0, y = 0, width = 0, height = 0;
};

struct Placement {
  SourceRect source;  // the part of the picture shown
  // The part of the target it fills; the rest is background ("fit inside" only).
  int x = 0, y = 0, width = 0, height = 0;
};

// The placement of a width × height picture (upright, full size) in the target. In "crop to
// fill" the source rectangle is the crop window a dialog draws; a window dragged to x, y gives
// cropX = x / (width - source.width) and cropY = y / (height - source.height) (either 0.5 where
// the window spans the whole picture).
Placement placePicture(int width, int height, const FitTarget& target, const FitOptions& options);

// The scale (at most 1) below which a width × height picture may not be reduced before it is
// resampled for the target in any mode: twice the scale that covers the target, so the
// resampling filter still has two source pixels for each pixel it makes.
double minimumReadScale(int width, int height, const FitTarget& target);

}  // namespace wqt
