#include "fit/resample.h"

#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "fit/fit_geometry.h"

namespace wqt {

namespace {

// Lanczos-3 spans three source pixels on either side at scale 1 (more when reducing), and
// 2^5 phases between pixels keep the sampling position within 1/64 pixel.
constexpr double kLanczosRadius = 3;
constexpr int kPhaseBits = 5;
constexpr double kMaxKernelScale = 4096;

using Image = std::unique_ptr<pixman_image_t, decltype(&pixman_image_unref)>;

Image wrap(std::uint32_t* bits, int width, int height, int stride) {
  Image image(pixman_image_create_bits(PIXMAN_x8r8g8b8, width, height, bits, stride),
              pixman_image_unref);
  if (!image) throw std::bad_alloc();
  return image;
}

// A Lanczos-3 filter along one axis for reducing by `scale` (or enlarging, below 1).
void setLanczos(pixman_image_t* image, bool vertical, double scale) {
  // Reducing widens the kernel by the scale; enlarging keeps it at one source pixel a lobe.
  // pixman keeps the kernel's width as 16.16 fixed point: a picture reduced more than this
  // (a sliver stretched across the target) is sampled by a kernel of this width, centred.
  const double width = std::min(std::max(scale, 1.0), kMaxKernelScale);
  const pixman_fixed_t widen = pixman_double_to_fixed(width);
  // A kernel over many pixels needs fewer phases: the table (taps × phases) stays within 2^16.
  int phaseBits = kPhaseBits;
  while (phaseBits > 0 && 2 * kLanczosRadius * width * (1 << phaseBits) > 65536) --phaseBits;
  const pixman_fixed_t one = pixman_fixed_1;
  int count = 0;
  // The other axis takes each pixel as it is: a box of one pixel sampled at its centre.
  const pixman_kernel_t lanczos = PIXMAN_KERNEL_LANCZOS3, box = PIXMAN_KERNEL_BOX,
                        impulse = PIXMAN_KERNEL_IMPULSE;
  pixman_fixed_t* params = pixman_filter_create_separable_convolution(
      &count, vertical ? one : widen, vertical ? widen : one, vertical ? box : impulse,
      vertical ? impulse : box, vertical ? impulse : lanczos, vertical ? lanczos : impulse,
      vertical ? 0 : phaseBits, vertical ? phaseBits : 0);
  if (params == nullptr) throw std::bad_alloc();
  const bool set =
      pixman_image_set_filter(image, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, count);
  std::free(params);
  if (!set) throw std::bad_alloc();
}

// Resamples `from` into `to` along one axis: the destination pixel centre c maps to
// offset + c × scale along it, and to itself along the other.
void resampleAxis(pixman_image_t* from, pixman_image_t* to, bool vertical, double scale,
                  double offset) {
  pixman_transform_t t;
  pixman_transform_init_identity(&t);
  const int axis = vertical ? 1 : 0;
  t.matrix[axis][axis] = pixman_double_to_fixed(scale);
  t.matrix[axis][2] = pixman_double_to_fixed(offset);
  pixman_image_set_transform(from, &t);

  pixman_image_set_repeat(from, PIXMAN_REPEAT_PAD);
  if (scale == 1 && offset == std::floor(offset)) {
    // Pixels that land on pixels are copied: no phase of the filter falls exactly on a pixel.
    pixman_image_set_filter(from, PIXMAN_FILTER_NEAREST, nullptr, 0);
  } else {
    setLanczos(from, vertical, scale);
  }
  pixman_image_composite32(PIXMAN_OP_SRC, from, nullptr, to, 0, 0, 0, 0, 0, 0,
                           pixman_image_get_width(to), pixman_image_get_height(to));
}

}  // namespace

RgbPicture resamplePicture(const SourcePicture& source, const FitTarget& target,
                           const FitOptions& options) {
  const Placement place = placePicture(source.width, source.height, target, options);
  const Picture& pic = source.pixels;
  const double kx = double(pic.width) / source.width, ky = double(pic.height) / source.height;
  const double rx = place.source.x * kx, rw = place.source.width * kx;
  const double ry = place.source.y * ky, rh = place.source.height * ky;
  const double sx = rw / place.width, sy = rh / place.height;

  // Only the rows the vertical kernel reaches go through the horizontal pass.
  const double reach = kLanczosRadius * std::max(sy, 1.0) + 1;
  const int top = std::clamp(static_cast<int>(std::floor(ry - reach)), 0, pic.height - 1);
  const int bottom = std::clamp(static_cast<int>(std::ceil(ry + rh + reach)), top + 1, pic.height);
  auto* rows = reinterpret_cast<std::uint32_t*>(const_cast<std::uint8_t*>(pic.pixels.data())) +
               std::size_t(top) * std::size_t(pic.bytesPerLine / 4);
  Image from = wrap(rows, pic.width, bottom - top, pic.bytesPerLine);
  std::vector<std::uint32_t> between(std::size_t(place.width) * std::size_t(bottom - top));
  Image middle = wrap(between.data(), place.width, bottom - top, place.width * 4);
  resampleAxis(from.get(), middle.get(), false, sx, rx);
  std::vector<std::uint32_t> fitted(std::size_t(place.width) * std::size_t(place.height));
  Image to = wrap(fitted.data(), place.width, place.height, place.width * 4);
  resampleAxis(middle.get(), to.get(), true, sy, ry - top);

  RgbPicture out{target.width, target.height, {}};
  out.rgb.resize(std::size_t(target.width) * std::size_t(target.height) * 3);
  for (std::size_t i = 0; i < out.rgb.size(); i += 3) {
    out.rgb[i] = options.background.r;
    out.rgb[i + 1] = options.background.g;
    out.rgb[i + 2] = options.background.b;
  }
  for (int y = 0; y < place.height; ++y) {
    const std::uint32_t* in = fitted.data() + std::size_t(y) * std::size_t(place.width);
    std::uint8_t* o =
        out.rgb.data() +
        (std::size_t(place.y + y) * std::size_t(target.width) + std::size_t(place.x)) * 3;
    for (int x = 0; x < place.width; ++x, o += 3) {
      o[0] = static_cast<std::uint8_t>(in[x] >> 16);
      o[1] = static_cast<std::uint8_t>(in[x] >> 8);
      o[2] = static_cast<std::uint8_t>(in[x]);
    }
  }
  return out;
}

}  // namespace wqt
