#pragma once
// RAW pictures from 24-bit colour: RGB565 words, little-endian, whose colours are each channel's
// top bits (red and blue in steps of 8, green in steps of 4), reached by keeping the top bits,
// by an ordered dither or by error diffusion.
#include <cstdint>
#include <vector>

#include "files/png_picture.h"
#include "fit/fit_options.h"

namespace wqt {

// Colours already on the 16-bit grid come out unchanged whatever the dither; the dithers keep a
// colour's mean where keeping the top bits would darken it by up to a step.
std::vector<std::uint8_t> ditherToRgb565(const RgbPicture& picture, Dither dither);

}  // namespace wqt
