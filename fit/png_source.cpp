// PNG sources: libpng reads the file piece by piece from a ByteReader and gives 8-bit R, G, B, A
// rows (or grey and alpha for a grey profile), which go to SourceRows as they come.
#include <png.h>

#include <csetjmp>
#include <exception>
#include <string>
#include <vector>

#include "files/png_picture.h"
#include "fit/colour_profile.h"
#include "fit/fit_geometry.h"
#include "fit/source_decoders.h"
#include "fit/source_rows.h"

namespace wqt {

namespace {

// An interlaced picture arrives in seven passes over the whole picture, so it is held whole at
// four bytes a pixel; a larger one than this is refused.
constexpr std::uint64_t kMaxInterlacedPixels = kSourcePixelBudget * 2;

struct Session {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::jmp_buf jump;
  std::string message;
  ByteReader* reader = nullptr;
  std::exception_ptr readError;

  explicit Session(ByteReader& source);
  ~Session() { png_destroy_read_struct(&png, &info, nullptr); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  [[noreturn]] void fail() const {
    if (readError) std::rethrow_exception(readError);
    throw PngError("PNG error: " + message);
  }
};

[[noreturn]] void onError(png_structp png, png_const_charp message) {
  auto* s = static_cast<Session*>(png_get_error_ptr(png));
  s->message = message;
  std::longjmp(s->jump, 1);
}
void onWarning(png_structp, png_const_charp) {}

void readBytes(png_structp png, png_bytep out, png_size_t length) {
  auto* s = static_cast<Session*>(png_get_io_ptr(png));
  std::size_t got = 0;
  try {
    got = s->reader->read({out, length});
  } catch (...) {
    s->readError = std::current_exception();
  }
  // Outside the handler: the library leaves by longjmp, which must not skip a C++ frame.
  if (s->readError) png_error(png, "read error");
  if (got < length) png_error(png, "file cut short");
}

Session::Session(ByteReader& source) : reader(&source) {
  png = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, onError, onWarning);
  if (png == nullptr) throw PngError("PNG error: out of memory");
  info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    throw PngError("PNG error: out of memory");
  }
}

template <typename Steps>
bool guarded(Session& s, Steps&& steps) {
  if (setjmp(s.jump) != 0) return false;
  steps();
  return true;
}

}  // namespace

SourcePicture decodePngSource(ByteReader& reader, const SourceRequest& request) {
  Session s(reader);
  png_uint_32 width = 0, height = 0;
  int colourType = 0, interlace = 0;
  png_bytep icc = nullptr;
  png_uint_32 iccLength = 0;
  const bool header = guarded(s, [&] {
    png_set_read_fn(s.png, &s, readBytes);
    png_read_info(s.png, s.info);
    width = png_get_image_width(s.png, s.info);
    height = png_get_image_height(s.png, s.info);
    colourType = png_get_color_type(s.png, s.info);
    interlace = png_get_interlace_type(s.png, s.info);
    png_charp name = nullptr;
    int compression = 0;
    png_get_iCCP(s.png, s.info, &name, &compression, &icc, &iccLength);
  });
  if (!header) s.fail();
  if (std::uint64_t{width} * height > kMaxSourcePixels) throw SourceError(kPictureTooLargeMessage);
  const bool interlaced = interlace != PNG_INTERLACE_NONE;
  if (interlaced && std::uint64_t{width} * height > kMaxInterlacedPixels) {
    throw SourceError(kPictureTooLargeMessage);
  }

  using Layout = ColourTransform::Layout;
  const bool greyData = (colourType & PNG_COLOR_MASK_COLOR) == 0;
  const ColourTransform greyProfile =
      greyData ? ColourTransform::fromProfile({icc, iccLength}, Layout::GreyAlpha)
               : ColourTransform();
  const ColourTransform profile =
      greyProfile ? greyProfile
      : greyData  ? ColourTransform()
                  : ColourTransform::fromProfile({icc, iccLength}, Layout::Rgba);
  const std::size_t channels = greyProfile ? 2 : 4;
  const bool started = guarded(s, [&] {
    // Every form of PNG becomes 8-bit R, G, B, A (grey and alpha for a grey profile).
    png_set_scale_16(s.png);
    png_set_palette_to_rgb(s.png);
    png_set_expand_gray_1_2_4_to_8(s.png);
    if (png_get_valid(s.png, s.info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(s.png);
    if (!greyProfile) png_set_gray_to_rgb(s.png);
    png_set_add_alpha(s.png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    if (png_get_rowbytes(s.png, s.info) != std::size_t{width} * channels) {
      png_error(s.png, "unexpected row layout");
    }
  });
  if (!started) s.fail();

  const int w = static_cast<int>(width), h = static_cast<int>(height);
  const int factor = reductionFactor(w, h, minimumReadScale(w, h, request.target));
  SourceRows rows(w, h, factor, 1, request.background);
  std::vector<std::uint8_t> converted(profile ? std::size_t{width} * 4 : 0);
  auto push = [&](const std::uint8_t* row) {
    if (!profile) return rows.push(row);
    profile.toRgba(row, converted.data(), w);
    rows.push(converted.data());
  };
  const std::size_t rowBytes = std::size_t{width} * channels;
  if (interlaced) {
    std::vector<std::uint8_t> whole(rowBytes * height);
    std::vector<png_bytep> pointers(height);
    for (png_uint_32 y = 0; y < height; ++y) pointers[y] = whole.data() + rowBytes * y;
    png_bytepp rowPointers = pointers.data();
    if (!guarded(s, [&] { png_read_image(s.png, rowPointers); })) s.fail();
    for (png_uint_32 y = 0; y < height; ++y) push(pointers[y]);
  } else {
    std::vector<std::uint8_t> row(rowBytes);
    png_bytep rowPointer = row.data();
    for (png_uint_32 y = 0; y < height; ++y) {
      if (!guarded(s, [&] { png_read_row(s.png, rowPointer, nullptr); })) s.fail();
      push(row.data());
    }
  }
  return {rows.finish(), w, h};
}

}  // namespace wqt
