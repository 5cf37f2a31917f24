#include "files/png_picture.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <string>

#include "base/file_io.h"
#include "files/preview.h"
#include "theme/theme_layout.h"

namespace wqt {

namespace {

[[noreturn]] void throwPngError(const std::string& message) {
  throw PngError("PNG error: " + message, ErrorCode::Png, 0, {}, message);
}

// The library reports a fatal error here; the message is kept for the exception thrown once the
// library's frames are left (no C++ exception may cross them).
struct PngErrorState {
  std::jmp_buf jump;
  std::string message;
};

[[noreturn]] void onPngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngErrorState*>(png_get_error_ptr(png));
  state->message = message;
  std::longjmp(state->jump, 1);
}
void onPngWarning(png_structp, png_const_charp) {}

// The limits that keep a hostile file small: no picture side longer than a slot's picture can
// be, no ancillary chunk kept (text, profiles, palettes of suggestions: none changes the pixels
// read here; skipped, a chunk's claimed length costs nothing), and the little that is kept
// bounded in number and size.
constexpr png_uint_32 kMaxSide = kSlotCapacity / 2;
constexpr png_alloc_size_t kChunkMemoryLimit = 64 * 1024;
constexpr png_uint_32 kChunkCacheLimit = 16;

// One read structure with its info, destroyed whatever happens, and what the reading collects
// as the library hands over the picture piece by piece.
struct ReadSession {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngErrorState state;
  RgbPicture picture;
  std::uint64_t maxPixels = 0;
  bool tooLarge = false;
  bool ended = false;
  std::vector<png_bytep> rows;
  ReadSession() {
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, onPngError, onPngWarning);
    if (png != nullptr) info = png_create_info_struct(png);
    if (info == nullptr) {
      png_destroy_read_struct(&png, nullptr, nullptr);  // nothing to do when png is null
      throwPngError("out of memory");
    }
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_set_chunk_malloc_max(png, kChunkMemoryLimit);
    png_set_chunk_cache_max(png, kChunkCacheLimit);
    // A negative count: every chunk but those the pixels need is skipped unread.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  }
  ~ReadSession() { png_destroy_read_struct(&png, &info, nullptr); }
  ReadSession(const ReadSession&) = delete;
  ReadSession& operator=(const ReadSession&) = delete;
};

// The header is read: a picture too large stops the reading; any other gets its buffer and
// becomes 8-bit RGB (the top byte of 16-bit samples, no alpha).
void onInfo(png_structp png, png_infop info) {
  auto* s = static_cast<ReadSession*>(png_get_progressive_ptr(png));
  RgbPicture& picture = s->picture;
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  picture.width = static_cast<int>(width);
  picture.height = static_cast<int>(height);
  if (std::uint64_t{width} * height > s->maxPixels) {
    s->tooLarge = true;
    png_process_data_pause(png, 0);
    return;
  }
  png_set_strip_16(png);
  png_set_strip_alpha(png);
  png_set_palette_to_rgb(png);
  png_set_expand_gray_1_2_4_to_8(png);
  png_set_gray_to_rgb(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != std::size_t{width} * 3) {
    png_error(png, "unexpected row layout");
  }
  picture.rgb.resize(std::size_t{width} * height * 3);
  s->rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y)
    s->rows[y] = picture.rgb.data() + std::size_t{y} * width * 3;
}

// A row of a pass: an interlaced picture's passes are combined into the rows.
void onRow(png_structp png, png_bytep row, png_uint_32 y, int) {
  auto* s = static_cast<ReadSession*>(png_get_progressive_ptr(png));
  if (row != nullptr && y < s->rows.size()) png_progressive_combine_row(png, s->rows[y], row);
}

void onEnd(png_structp png, png_infop) {
  static_cast<ReadSession*>(png_get_progressive_ptr(png))->ended = true;
}

// Runs library calls with the jump target set; false when the library failed. The steps must not
// own objects with destructors: a failure leaves them by longjmp.
template <typename Steps>
bool guarded(ReadSession& s, Steps&& steps) {
  if (setjmp(s.state.jump) != 0) return false;
  steps();
  return true;
}

}  // namespace

RgbPicture rawToRgb(const FileEntry& entry, std::span<const std::uint8_t> slot) {
  RgbPicture picture{entry.width, entry.height, {}};
  const std::size_t pixels = std::size_t{entry.width} * entry.height;
  if (slot.size() < pixels * 2) throwStreamReadError();
  picture.rgb.resize(pixels * 3);
  for (std::size_t i = 0; i < pixels; ++i) {
    const auto word = static_cast<std::uint16_t>(slot[2 * i] | slot[2 * i + 1] << 8);
    const std::uint32_t colour = rgb565ToColour(word);  // 0x00BBGGRR
    picture.rgb[3 * i] = static_cast<std::uint8_t>(colour);
    picture.rgb[3 * i + 1] = static_cast<std::uint8_t>(colour >> 8);
    picture.rgb[3 * i + 2] = static_cast<std::uint8_t>(colour >> 16);
  }
  return picture;
}

std::vector<std::uint8_t> rgbToRaw(const RgbPicture& picture) {
  const std::size_t pixels = picture.rgb.size() / 3;
  std::vector<std::uint8_t> raw(pixels * 2);
  for (std::size_t i = 0; i < pixels; ++i) {
    const unsigned word = (picture.rgb[3 * i] >> 3) << 11 | (picture.rgb[3 * i + 1] >> 2) << 5 |
                          picture.rgb[3 * i + 2] >> 3;
    raw[2 * i] = static_cast<std::uint8_t>(word);
    raw[2 * i + 1] = static_cast<std::uint8_t>(word >> 8);
  }
  return raw;
}

std::vector<std::uint8_t> encodePng(const RgbPicture& picture) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(picture.width);
  image.height = static_cast<png_uint_32>(picture.height);
  image.format = PNG_FORMAT_RGB;
  // Written once into room for the largest file the picture can make, then cut to what it took.
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
  std::vector<std::uint8_t> bytes(size);
  if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, picture.rgb.data(),
                                 picture.width * 3, nullptr)) {
    throwPngError(image.message);
  }
  bytes.resize(size);
  return bytes;
}

RgbPicture decodePng(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) throwPngError("not a PNG file");
  ReadSession s;
  s.maxPixels = maxPixels;
  // The file is handed over piece by piece, so that reading stops as soon as the header shows a
  // picture too large. Fed this way the library also stops inflating once the last row is
  // decoded: compressed data after it (a stream of zeros gigabytes long) is passed over unread.
  constexpr std::size_t kPiece = 64 * 1024;
  std::size_t pos = 0;
  png_bytep data = const_cast<png_bytep>(bytes.data());
  const bool read = guarded(s, [&] {
    png_set_progressive_read_fn(s.png, &s, onInfo, onRow, onEnd);
    while (pos < bytes.size() && !s.tooLarge && !s.ended) {
      const std::size_t n = std::min(kPiece, bytes.size() - pos);
      png_process_data(s.png, s.info, data + pos, n);
      pos += n;
    }
  });
  if (!read) throwPngError(s.state.message);
  // A picture too large has its size and no pixels: reading paused before they were allocated.
  if (!s.tooLarge && !s.ended) throwPngError("file cut short");
  return std::move(s.picture);
}

std::vector<std::uint8_t> rawToPng(const FileEntry& entry, std::span<const std::uint8_t> slot) {
  return encodePng(rawToRgb(entry, slot));
}

ImportCandidate importPng(const FileEntry& entry, std::span<const std::uint8_t> png) {
  const std::uint64_t pixels = std::uint64_t{entry.width} * entry.height;
  // An entry whose picture no slot holds decodes nothing: its header is enough to refuse.
  const bool fits = pixels * 2 <= kSlotCapacity;
  RgbPicture picture = decodePng(png, fits ? pixels : 0);
  if (picture.width != entry.width || picture.height != entry.height) {
    return refusedImport(ImportRefusal::WrongSize, kWrongSizeMessage);
  }
  if (!fits) return refusedImport(ImportRefusal::TooLarge, kTooLargeMessage);
  return {{}, rgbToRaw(picture)};
}

ImportCandidate checkPngImport(const FileEntry& entry, const std::filesystem::path& chosen) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(chosen, ec);
  if (!ec && size > kPngFileLimit) return refusedImport(ImportRefusal::TooLarge, kTooLargeMessage);
  // What cannot be measured (a device, a pipe, a missing file) is refused by the read; a file that
  // grew since it was measured is read no further than one byte past the limit.
  const std::vector<std::uint8_t> bytes = readWholeFile(chosen, kPngFileLimit + 1);
  if (bytes.size() > kPngFileLimit) return refusedImport(ImportRefusal::TooLarge, kTooLargeMessage);
  try {
    // No pixels allowed: the header's dimensions alone, before anything is decoded.
    const RgbPicture header = decodePng(bytes, 0);
    if (header.width != entry.width || header.height != entry.height) {
      return dimensionRefusal(entry, header.width, header.height);
    }
    return importPng(entry, bytes);
  } catch (const PngError& e) {
    return refusedImport(ImportRefusal::PictureUnreadable, kNotPngMessage, e);
  }
}

}  // namespace wqt
