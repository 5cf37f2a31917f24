#include "files/png_reader.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace wqt {

namespace {

[[noreturn]] void throwPngError(const std::string& message) {
  throw PngError("PNG error: " + message, ErrorCode::Png, 0, {}, message);
}

// What reaches the library is small: the header, a palette, transparency, the end, a profile of
// bounded size and the compressed rows, which it inflates as they come without holding them.
constexpr png_alloc_size_t kChunkMemoryLimit = kMaxPngProfile;
constexpr png_uint_32 kChunkCacheLimit = 16;
// How much of the file is pulled at a time.
constexpr std::size_t kPiece = 64 * 1024;

// The library's state, destroyed whatever happens, and what the reading collects as the library
// hands over the picture row by row.
struct Session {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::jmp_buf jump;
  std::string message;
  std::exception_ptr sinkError;  // thrown by the sink, carried past the library's frames
  PngSink* sink = nullptr;
  bool keepProfile = false;
  bool interlaced = false;
  bool declined = false;
  bool ended = false;
  std::uint32_t width = 0;
  std::uint64_t pixelsLeft = 0;

  Session(const PngLimits& limits, PngSink& sink);
  ~Session() { png_destroy_read_struct(&png, &info, nullptr); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  bool finished() const { return declined || ended || (width != 0 && pixelsLeft == 0); }
  [[noreturn]] void fail() const {
    if (sinkError) std::rethrow_exception(sinkError);
    throwPngError(message);
  }
};

// The library reports a fatal error here; the message is kept for the exception thrown once the
// library's frames are left (no C++ exception may cross them).
[[noreturn]] void onError(png_structp png, png_const_charp message) {
  auto* s = static_cast<Session*>(png_get_error_ptr(png));
  s->message = message;
  std::longjmp(s->jump, 1);
}
void onWarning(png_structp, png_const_charp) {}

Session* sessionOf(png_structp png) {
  return static_cast<Session*>(png_get_progressive_ptr(png));
}

void setTransforms(png_structp png, png_infop info, PngRows form) {
  if (form == PngRows::Rgb) {
    png_set_strip_16(png);
    png_set_strip_alpha(png);
  } else {
    png_set_scale_16(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  }
  png_set_palette_to_rgb(png);
  png_set_expand_gray_1_2_4_to_8(png);
  if (form != PngRows::GreyAlpha) png_set_gray_to_rgb(png);
}

// The header and the chunks before the rows are read: the sink chooses the rows' form or stops.
void onInfo(png_structp png, png_infop info) {
  Session* s = sessionOf(png);
  PngHeader header;
  header.width = png_get_image_width(png, info);
  header.height = png_get_image_height(png, info);
  header.grey = (png_get_color_type(png, info) & PNG_COLOR_MASK_COLOR) == 0;
  header.interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
  png_charp name = nullptr;
  int compression = 0;
  png_bytep icc = nullptr;
  png_uint_32 iccLength = 0;
  if (s->keepProfile && png_get_iCCP(png, info, &name, &compression, &icc, &iccLength) != 0) {
    header.profile = {icc, iccLength};
  }
  std::optional<PngRows> form;
  try {
    form = s->sink->start(header);
  } catch (...) {
    s->sinkError = std::current_exception();
  }
  // Outside the handler: the library leaves by longjmp, which must not skip a C++ frame.
  if (s->sinkError) png_error(png, "stopped");
  if (!form) {
    s->declined = true;
    png_process_data_pause(png, 0);
    return;
  }
  setTransforms(png, info, *form);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const std::size_t channels = *form == PngRows::Rgba ? 4 : *form == PngRows::Rgb ? 3 : 2;
  if (png_get_rowbytes(png, info) != std::size_t{header.width} * channels) {
    png_error(png, "unexpected row layout");
  }
  s->interlaced = header.interlaced;
  s->width = header.width;
  s->pixelsLeft = std::uint64_t{header.width} * header.height;
}

// The library hands over an interlaced picture's rows once per pass, widened to the picture's
// width by repeating each pass pixel, and repeats them for rows the pass does not hold: only the
// pass's own pixels go on, so each pixel is given once.
void onRow(png_structp png, png_bytep pixels, png_uint_32 y, int pass) {
  Session* s = sessionOf(png);
  if (pixels == nullptr || s->finished()) return;
  PngRow row{y, 0, 1, pixels};
  if (s->interlaced) {
    if (!PNG_ROW_IN_INTERLACE_PASS(y, pass)) return;
    row.first = PNG_PASS_START_COL(pass);
    row.step = 1u << PNG_PASS_COL_SHIFT(pass);
    if (row.first >= s->width) return;
  }
  try {
    s->sink->row(row);
  } catch (...) {
    s->sinkError = std::current_exception();
  }
  if (s->sinkError) png_error(png, "stopped");
  const std::uint64_t count = (s->width - row.first + row.step - 1) / row.step;
  s->pixelsLeft -= std::min(count, s->pixelsLeft);
}

void onEnd(png_structp png, png_infop) {
  sessionOf(png)->ended = true;
}

Session::Session(const PngLimits& limits, PngSink& target)
    : sink(&target), keepProfile(limits.keepProfile) {
  png = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, onError, onWarning);
  if (png != nullptr) info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);  // nothing to do when png is null
    throwPngError("out of memory");
  }
  png_set_user_limits(png, limits.maxSide, limits.maxSide);
  png_set_chunk_malloc_max(png, kChunkMemoryLimit);
  png_set_chunk_cache_max(png, kChunkCacheLimit);
  // A negative count: every chunk but those the pixels need is skipped unread.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  if (keepProfile) {
    static constexpr png_byte kIccp[] = {'i', 'C', 'C', 'P', 0};
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_AS_DEFAULT, kIccp, 1);
  }
  png_set_progressive_read_fn(png, this, onInfo, onRow, onEnd);
}

// Runs library calls with the jump target set; false when the library failed. The steps must not
// own objects with destructors: a failure leaves them by longjmp.
template <typename Steps>
bool guarded(Session& s, Steps&& steps) {
  if (setjmp(s.jump) != 0) return false;
  steps();
  return true;
}

void feed(Session& s, std::uint8_t* data, std::size_t size) {
  if (!guarded(s, [&] { png_process_data(s.png, s.info, data, size); })) s.fail();
}

// As many bytes as `out` holds, fewer only at the end of the file.
std::size_t pullFully(const PngPull& pull, std::span<std::uint8_t> out) {
  std::size_t got = 0;
  while (got < out.size()) {
    const std::size_t n = pull(out.subspan(got));
    if (n == 0) break;
    got += n;
  }
  return got;
}

// Chunks the library is given: those the pixels need, the profile when asked for, and any other
// critical chunk so that the library refuses it. The library holds a whole chunk before it reads
// one (the rows excepted), so a longer one than it may keep is not given: skipped when it is
// ancillary, refused when the picture cannot do without it.
enum class Route { Feed, Stream, Skip };

Route routeOf(std::string_view type, std::uint32_t length, bool keepProfile) {
  if (type == "IDAT") return Route::Stream;
  const bool critical = (static_cast<unsigned char>(type[0]) & 0x20) == 0;
  const bool wanted = critical || type == "tRNS" || (keepProfile && type == "iCCP");
  if (!wanted) return Route::Skip;
  if (length <= kChunkMemoryLimit) return Route::Feed;
  if (!critical) return Route::Skip;
  throwPngError("chunk data is too large");
}

}  // namespace

bool readPng(const PngPull& pull, const PngLimits& limits, PngSink& sink) {
  Session s(limits, sink);
  std::vector<std::uint8_t> piece(kPiece);
  std::array<std::uint8_t, 8> head{};
  if (pullFully(pull, head) < head.size() || png_sig_cmp(head.data(), 0, head.size()) != 0) {
    throwPngError("not a PNG file");
  }
  feed(s, head.data(), head.size());
  while (!s.finished()) {
    if (pullFully(pull, head) < head.size()) break;
    const std::uint32_t length = std::uint32_t{head[0]} << 24 | std::uint32_t{head[1]} << 16 |
                                 std::uint32_t{head[2]} << 8 | head[3];
    const std::string_view type(reinterpret_cast<const char*>(head.data() + 4), 4);
    const Route route = routeOf(type, length, s.keepProfile);
    if (route != Route::Skip) feed(s, head.data(), head.size());
    // The chunk's data and its checksum, a piece at a time; reading ends as soon as the last
    // pixel has come, wherever in the rows' chunks that is.
    std::uint64_t left = std::uint64_t{length} + 4;
    while (left > 0 && !s.finished()) {
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, kPiece));
      const std::size_t got = pullFully(pull, {piece.data(), want});
      if (got == 0) break;
      left -= got;
      if (route != Route::Skip) feed(s, piece.data(), got);
    }
    if (left > 0 && !s.finished()) break;
  }
  if (s.declined) return false;
  if (s.width == 0 || s.pixelsLeft > 0) throwPngError("file cut short");
  return true;
}

}  // namespace wqt
