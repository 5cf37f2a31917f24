// HEIC and AVIF sources: libheif reads the container through the reader, piece by piece, and
// decodes the primary picture whole, in the codec's own planes (4:2:0 YCbCr takes 1.5 bytes a
// pixel); the rows are turned into RGB here, so no interleaved copy of the whole picture is made.
// The library applies the container's turns, mirrors and crop itself (a grid's turns alone are
// applied here, as its rows are read): EXIF orientation is not applied on top.
#include <libheif/heif.h>
#include <sched.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "fit/colour_profile.h"
#include "fit/heif_layout.h"
#include "fit/rgba_rows.h"
#include "fit/source_decoders.h"

namespace wqt {

namespace {

// What decoding takes at its peak, measured with both codecs on 4:2:0 pictures: the codec's
// picture and tables beside the library's copy of it (4.75 bytes a pixel at 8 bits, twice that
// above), an alpha plane decoded the same way, and the compressed data, held in a few copies. A
// grid's tiles are decoded one at a time into the whole picture's RGB planes (3 bytes a pixel
// and the allocator's spread), beside one tile's decoding; its data is read a tile at a time.
// Turning, mirroring or cropping it makes a second such picture. A picture that would take more
// than the budget is refused before decoding.
constexpr std::uint64_t kHeifBudget = 64u << 20;
constexpr std::uint64_t kHeifFixed = 8u << 20;
constexpr double kHeifPerPixel = 4.75, kHeifAlphaPerPixel = 2.5, kHeifPerFileByte = 4;
constexpr double kHeifGridPerPixel = 3.5, kHeifGridPerFileByte = 1;

// The AV1 codec decodes with a thread per processor, each holding a frame's worth of its own,
// and counts the processors this thread may run on: confined to one, it holds one frame.
class OneProcessor {
 public:
  OneProcessor() {
    if (sched_getaffinity(0, sizeof(saved_), &saved_) != 0) return;
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
      if (CPU_ISSET(cpu, &saved_)) {
        CPU_SET(cpu, &one);
        break;
      }
    }
    set_ = sched_setaffinity(0, sizeof(one), &one) == 0;
  }
  ~OneProcessor() {
    if (set_) sched_setaffinity(0, sizeof(saved_), &saved_);
  }
  OneProcessor(const OneProcessor&) = delete;
  OneProcessor& operator=(const OneProcessor&) = delete;

 private:
  cpu_set_t saved_;
  bool set_ = false;
};

struct Input {
  ByteReader* reader;
  std::int64_t offset = 0;
  std::exception_ptr error;
};

std::int64_t position(void* userdata) {
  return static_cast<Input*>(userdata)->offset;
}

int readHeif(void* out, std::size_t size, void* userdata) {
  auto* input = static_cast<Input*>(userdata);
  try {
    input->reader->seek(std::uint64_t(input->offset));
    const std::span<std::uint8_t> span(static_cast<std::uint8_t*>(out), size);
    std::size_t got = 0;
    while (got < size) {
      const std::size_t n = input->reader->read(span.subspan(got));
      if (n == 0) break;
      got += n;
    }
    input->offset += std::int64_t(got);
    return got == size ? 0 : 1;
  } catch (...) {
    if (!input->error) input->error = std::current_exception();
    return 1;
  }
}

int seekHeif(std::int64_t position, void* userdata) {
  auto* input = static_cast<Input*>(userdata);
  if (position < 0 || std::uint64_t(position) > input->reader->size()) return 1;
  input->offset = position;
  return 0;
}

heif_reader_grow_status growHeif(std::int64_t size, void* userdata) {
  return size >= 0 && std::uint64_t(size) <= static_cast<Input*>(userdata)->reader->size()
             ? heif_reader_grow_status_size_reached
             : heif_reader_grow_status_size_beyond_eof;
}

using Context = std::unique_ptr<heif_context, decltype(&heif_context_free)>;
using Handle = std::unique_ptr<const heif_image_handle, decltype(&heif_image_handle_release)>;
using Image = std::unique_ptr<const heif_image, decltype(&heif_image_release)>;
using Nclx = std::unique_ptr<heif_color_profile_nclx, decltype(&heif_nclx_color_profile_free)>;

// One plane's stored samples: 8 bits, or more in 16-bit words.
struct Plane {
  const std::uint8_t* data = nullptr;
  int stride = 0, shiftX = 0, shiftY = 0;
  unsigned maximum = 255;

  Plane(const heif_image* image, heif_channel channel, int width, int height) {
    if (!heif_image_has_channel(image, channel)) return;
    data = heif_image_get_plane_readonly(image, channel, &stride);
    const int w = heif_image_get_width(image, channel), h = heif_image_get_height(image, channel);
    const int bits = heif_image_get_bits_per_pixel_range(image, channel);
    if (data == nullptr || w <= 0 || h <= 0 || bits < 1 || bits > 16) {
      data = nullptr;
      return;
    }
    // Subsampled planes are half the width or height, rounded up.
    shiftX = w < width ? 1 : 0;
    shiftY = h < height ? 1 : 0;
    if ((width + shiftX) >> shiftX > w || (height + shiftY) >> shiftY > h) data = nullptr;
    maximum = (1u << bits) - 1;
  }
  explicit operator bool() const { return data != nullptr; }
  // Within 0..maximum whatever the word holds, so that it indexes the tables below.
  unsigned at(int x, int y) const {
    const std::uint8_t* row = data + std::size_t(y >> shiftY) * std::size_t(stride);
    x >>= shiftX;
    if (maximum <= 255) return std::min<unsigned>(row[x], maximum);
    std::uint16_t v;
    std::memcpy(&v, row + std::size_t(x) * 2, 2);
    return std::min<unsigned>(v, maximum);
  }
};

// Each stored value's share of R, G, B in 1/65536, by the matrix the colours name (BT.601 when
// they name none), in full or video range: a table lookup a sample instead of arithmetic. The
// identity matrix stores G, B, R as they are.
struct Matrix {
  bool identity = false;
  std::vector<std::int32_t> luma, redCr, greenCb, greenCr, blueCb;

  Matrix(const heif_color_profile_nclx* nclx, unsigned lumaMax, unsigned chromaMax) {
    double kr = 0.299, kb = 0.114;
    bool full = true;
    if (nclx != nullptr) {
      full = nclx->full_range_flag != 0;
      switch (nclx->matrix_coefficients) {
        case heif_matrix_coefficients_RGB_GBR:
          identity = true;
          full = true;
          break;
        case heif_matrix_coefficients_ITU_R_BT_709_5:
          kr = 0.2126, kb = 0.0722;
          break;
        case heif_matrix_coefficients_SMPTE_240M:
          kr = 0.212, kb = 0.087;
          break;
        case heif_matrix_coefficients_ITU_R_BT_2020_2_non_constant_luminance:
        case heif_matrix_coefficients_ITU_R_BT_2020_2_constant_luminance:
          kr = 0.2627, kb = 0.0593;
          break;
        default:
          break;
      }
    }
    const double kg = 1 - kr - kb, rCr = 2 * (1 - kr), bCb = 2 * (1 - kb);
    const double gCb = -bCb * kb / kg, gCr = -rCr * kr / kg;
    constexpr double kOne = 255 * 65536.0;
    const auto fixed = [](double v) { return std::int32_t(std::lround(v * kOne)); };
    // Under the identity matrix the chroma planes index this table too.
    luma.resize(std::max(lumaMax, identity ? chromaMax : 0) + 1);
    for (unsigned v = 0; v < luma.size(); ++v) {
      const double f = double(v) / lumaMax;
      luma[v] = fixed(full ? f : (f - 16.0 / 255) * (255.0 / 219));
    }
    if (identity) return;
    for (auto* table : {&redCr, &greenCb, &greenCr, &blueCb}) table->resize(chromaMax + 1);
    for (unsigned v = 0; v <= chromaMax; ++v) {
      const double f = double(v) / chromaMax;
      const double c = (full ? f : (f - 16.0 / 255) * (255.0 / 224)) - 0.5;
      redCr[v] = fixed(rCr * c);
      greenCb[v] = fixed(gCb * c);
      greenCr[v] = fixed(gCr * c);
      blueCb[v] = fixed(bCb * c);
    }
  }

  static std::uint8_t byte(std::int32_t v) {
    return std::uint8_t(std::clamp((v + 32768) >> 16, 0, 255));
  }

  void toRgb(unsigned y, unsigned cb, unsigned cr, std::uint8_t* rgb) const {
    if (identity) {
      rgb[0] = byte(luma[cr]), rgb[1] = byte(luma[y]), rgb[2] = byte(luma[cb]);
      return;
    }
    const std::int32_t l = luma[y];
    rgb[0] = byte(l + redCr[cr]);
    rgb[1] = byte(l + greenCb[cb] + greenCr[cr]);
    rgb[2] = byte(l + blueCb[cb]);
  }
};

// The profile of colours named by their primaries and curve where they are not sRGB's own; the
// curves of video (BT.601, BT.709) are shown as sRGB, as viewers show them.
std::vector<std::uint8_t> nclxProfile(const heif_color_profile_nclx* nclx) {
  if (nclx == nullptr) return {};
  const bool srgbPrimaries = nclx->color_primaries == heif_color_primaries_ITU_R_BT_709_5 ||
                             nclx->color_primaries == heif_color_primaries_unspecified;
  double gamma = 0;
  switch (nclx->transfer_characteristics) {
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_M:
      gamma = 2.2;
      break;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_B_G:
      gamma = 2.8;
      break;
    case heif_transfer_characteristic_linear:
      gamma = 1.0;
      break;
    default:
      break;
  }
  if (srgbPrimaries && gamma == 0) return {};
  const std::array<double, 8> xy = {nclx->color_primary_red_x,   nclx->color_primary_red_y,
                                    nclx->color_primary_green_x, nclx->color_primary_green_y,
                                    nclx->color_primary_blue_x,  nclx->color_primary_blue_y,
                                    nclx->color_primary_white_x, nclx->color_primary_white_y};
  return rgbProfile(xy, gamma);
}

std::vector<std::uint8_t> iccProfile(const heif_image_handle* handle) {
  std::vector<std::uint8_t> icc(heif_image_handle_get_raw_color_profile_size(handle));
  if (icc.empty() || heif_image_handle_get_raw_color_profile(handle, icc.data()).code != 0) {
    return {};
  }
  return icc;
}

Nclx nclxOf(const heif_image* image, const heif_image_handle* handle) {
  heif_color_profile_nclx* nclx = nullptr;
  if (heif_image_get_nclx_color_profile(image, &nclx).code != heif_error_Ok || nclx == nullptr)
    heif_image_handle_get_nclx_color_profile(handle, &nclx);
  return Nclx(nclx, heif_nclx_color_profile_free);
}

}  // namespace

SourcePicture decodeHeifSource(ByteReader& reader, const SourceRequest& request,
                               const char* format) {
  Input input{&reader, 0, nullptr};
  const auto check = [&](heif_error e) {
    if (e.code == heif_error_Ok) return;
    if (input.error) std::rethrow_exception(input.error);
    if (e.subcode == heif_suberror_Security_limit_exceeded)
      throw SourceError(kPictureTooLargeMessage);
    if (e.code == heif_error_Memory_allocation_error) throw SourceError(kSourceMemoryMessage);
    throw SourceError(unreadablePictureMessage(format));
  };
  const Context context(heif_context_alloc(), heif_context_free);
  if (!context) throw std::bad_alloc();
  heif_context_set_maximum_image_size_limit(context.get(), int(kMaxSourceSide));
  // Grid tiles one after the other: a thread of its own for each would hold a codec each.
  heif_context_set_max_decoding_threads(context.get(), 0);
  heif_reader callbacks{1, position, readHeif, seekHeif, growHeif};
  check(heif_context_read_from_reader(context.get(), &callbacks, &input, nullptr));
  heif_image_handle* primary = nullptr;
  check(heif_context_get_primary_image_handle(context.get(), &primary));
  const Handle handle(primary, heif_image_handle_release);

  const int width = heif_image_handle_get_width(primary);
  const int height = heif_image_handle_get_height(primary);
  if (width <= 0 || height <= 0) throw SourceError(unreadablePictureMessage(format));
  refuseOverPixelCap(std::uint64_t(width), std::uint64_t(height));
  const double pixels = double(width) * height;
  // Samples above 8 bits take 16-bit words; a depth not given is taken as such.
  const int bits = heif_image_handle_get_luma_bits_per_pixel(primary);
  const double depth = bits > 8 || bits < 0 ? 2 : 1;
  const bool hasAlpha = heif_image_handle_has_alpha_channel(primary) != 0;
  // A coded picture larger than the container claims is decoded whole before the claim is
  // checked, so the stream headers' sizes count too. A grid is credited only when the library
  // takes the same item for the primary picture as the walk did.
  const std::optional<HeifLayout> layout = readHeifLayout(reader);
  if (!layout) throw SourceError(unreadablePictureMessage(format));
  heif_item_id primaryId = 0;
  const bool grid = layout->gridPixels != 0 &&
                    heif_context_get_primary_image_ID(context.get(), &primaryId).code == 0 &&
                    primaryId == layout->primary;
  const double coded = double(layout->codedPixels);
  const double need =
      double(kHeifFixed) + (hasAlpha ? pixels * depth * kHeifAlphaPerPixel : 0) +
      (grid ? double(layout->gridPixels) * depth * kHeifGridPerPixel * (layout->reshaped ? 2 : 1) +
                  coded * depth * kHeifPerPixel + double(reader.size()) * kHeifGridPerFileByte
            : std::max(pixels, coded) * depth * kHeifPerPixel +
                  double(reader.size()) * kHeifPerFileByte);
  if (need > double(kHeifBudget)) throw SourceError(kSourceMemoryMessage);
  // A grid only turned is turned here, as its rows are read, instead of in a second picture.
  const int turns = grid && !layout->reshaped ? layout->quarterTurns : 0;
  static constexpr int kOrientationOfTurns[4] = {1, 8, 3, 6};
  const int storedWidth = turns % 2 != 0 ? height : width;
  const int storedHeight = turns % 2 != 0 ? width : height;

  heif_image* decoded = nullptr;
  // 4:2:0, as the codecs give a photo: no conversion of the whole picture, which "as it is"
  // would make 4:4:4 RGB planes of. Colours stored as G, B, R (lossless ones) are asked for as
  // RGB, and so is a grid: the library pastes its tiles into RGB planes, which 4:2:0 would copy.
  heif_color_profile_nclx* stored = nullptr;
  heif_image_handle_get_nclx_color_profile(primary, &stored);
  const bool storedRgb = grid || (stored != nullptr &&
                                  stored->matrix_coefficients == heif_matrix_coefficients_RGB_GBR);
  heif_nclx_color_profile_free(stored);
  {
    const std::unique_ptr<heif_decoding_options, decltype(&heif_decoding_options_free)> options(
        heif_decoding_options_alloc(), heif_decoding_options_free);
    if (!options) throw std::bad_alloc();
    options->ignore_transformations = turns != 0;
    const OneProcessor confined;
    check(heif_decode_image(primary, &decoded,
                            storedRgb ? heif_colorspace_RGB : heif_colorspace_YCbCr,
                            storedRgb ? heif_chroma_444 : heif_chroma_420, options.get()));
  }
  const Image image(decoded, heif_image_release);
  // The turned picture is the size the handle said; anything else is not the picture it names.
  if (heif_image_get_primary_width(decoded) != storedWidth ||
      heif_image_get_primary_height(decoded) != storedHeight) {
    throw SourceError(unreadablePictureMessage(format));
  }

  const heif_colorspace space = heif_image_get_colorspace(decoded);
  const bool rgb = space == heif_colorspace_RGB;
  const Plane first(decoded, rgb ? heif_channel_G : heif_channel_Y, storedWidth, storedHeight);
  const Plane second(decoded, rgb ? heif_channel_B : heif_channel_Cb, storedWidth, storedHeight);
  const Plane third(decoded, rgb ? heif_channel_R : heif_channel_Cr, storedWidth, storedHeight);
  const Plane alpha(decoded, heif_channel_Alpha, storedWidth, storedHeight);
  const bool grey = space == heif_colorspace_monochrome || !second || !third;
  if (!first || (rgb && grey)) throw SourceError(unreadablePictureMessage(format));
  const bool premultiplied = alpha && heif_image_is_premultiplied_alpha(decoded);

  const Nclx nclx = nclxOf(decoded, primary);
  heif_color_profile_nclx identity{};
  identity.matrix_coefficients = heif_matrix_coefficients_RGB_GBR;
  identity.full_range_flag = 1;
  const Matrix matrix(rgb ? &identity : nclx.get(), first.maximum,
                      grey ? first.maximum : std::max(second.maximum, third.maximum));
  std::vector<std::uint8_t> alphaBytes(alpha ? alpha.maximum + 1 : 0);
  for (unsigned v = 0; v < alphaBytes.size(); ++v)
    alphaBytes[v] = std::uint8_t((v * 255u + alpha.maximum / 2) / alpha.maximum);
  std::vector<std::uint8_t> icc = iccProfile(primary);
  if (icc.empty()) icc = nclxProfile(nclx.get());

  RgbaRows rows(storedWidth, storedHeight, request, kOrientationOfTurns[turns], icc);
  std::vector<std::uint8_t> row(std::size_t(storedWidth) * 4);
  for (int y = 0; y < storedHeight; ++y) {
    for (int x = 0; x < storedWidth; ++x) {
      std::uint8_t* p = row.data() + std::size_t(x) * 4;
      const unsigned luma = first.at(x, y);
      if (grey) {
        p[0] = p[1] = p[2] = Matrix::byte(matrix.luma[luma]);
      } else {
        matrix.toRgb(luma, second.at(x, y), third.at(x, y), p);
      }
      p[3] = alpha ? alphaBytes[alpha.at(x, y)] : 255;
      if (premultiplied && p[3] != 0 && p[3] != 255) {
        for (int c = 0; c < 3; ++c)
          p[c] = std::uint8_t(std::min(255u, (p[c] * 255u + p[3] / 2u) / p[3]));
      }
    }
    rows.row(y, row.data());
  }
  return rows.finish();
}

}  // namespace wqt
