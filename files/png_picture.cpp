#include "files/png_picture.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <string>

#include "files/preview.h"
#include "map/core_error.h"
#include "theme/file_io.h"

namespace wqt {

namespace {

[[noreturn]] void throwPngError(const std::string& message) {
  throw PngError("PNG error: " + message);
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

struct MemorySource {
  std::span<const std::uint8_t> bytes;
  std::size_t pos = 0;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* src = static_cast<MemorySource*>(png_get_io_ptr(png));
  if (src->bytes.size() - src->pos < length) png_error(png, "file cut short");
  std::copy_n(src->bytes.begin() + static_cast<std::ptrdiff_t>(src->pos), length, out);
  src->pos += length;
}

// One read structure with its info, destroyed whatever happens.
struct ReadSession {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngErrorState state;
  MemorySource source;
  ReadSession() {
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, onPngError, onPngWarning);
    if (png == nullptr) throwPngError("out of memory");
    info = png_create_info_struct(png);
    if (info == nullptr) {
      png_destroy_read_struct(&png, nullptr, nullptr);
      throwPngError("out of memory");
    }
  }
  ~ReadSession() { png_destroy_read_struct(&png, &info, nullptr); }
  ReadSession(const ReadSession&) = delete;
  ReadSession& operator=(const ReadSession&) = delete;
};

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
  png_alloc_size_t size = 0;
  const int stride = picture.width * 3;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, picture.rgb.data(), stride, nullptr)) {
    throwPngError(image.message);
  }
  std::vector<std::uint8_t> bytes(size);
  if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, picture.rgb.data(), stride,
                                 nullptr)) {
    throwPngError(image.message);
  }
  bytes.resize(size);
  return bytes;
}

RgbPicture decodePng(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) throwPngError("not a PNG file");
  ReadSession s;
  s.source.bytes = bytes;
  RgbPicture picture;
  png_uint_32 width = 0, height = 0;
  const bool header = guarded(s, [&] {
    png_set_read_fn(s.png, &s.source, readFromMemory);
    png_read_info(s.png, s.info);
    width = png_get_image_width(s.png, s.info);
    height = png_get_image_height(s.png, s.info);
  });
  if (!header) throwPngError(s.state.message);
  picture.width = static_cast<int>(width);
  picture.height = static_cast<int>(height);
  if (std::uint64_t{width} * height > maxPixels) return picture;

  picture.rgb.resize(std::size_t{width} * height * 3);
  std::vector<png_bytep> rows(height);
  for (png_uint_32 y = 0; y < height; ++y)
    rows[y] = picture.rgb.data() + std::size_t{y} * width * 3;
  png_bytepp rowPointers = rows.data();
  const bool decoded = guarded(s, [&] {
    // Every form of PNG becomes 8-bit RGB: the top byte of 16-bit samples, no alpha.
    png_set_strip_16(s.png);
    png_set_strip_alpha(s.png);
    png_set_palette_to_rgb(s.png);
    png_set_expand_gray_1_2_4_to_8(s.png);
    png_set_gray_to_rgb(s.png);
    png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    if (png_get_rowbytes(s.png, s.info) != std::size_t{width} * 3) {
      png_error(s.png, "unexpected row layout");
    }
    png_read_image(s.png, rowPointers);
  });
  if (!decoded) throwPngError(s.state.message);
  return picture;
}

std::vector<std::uint8_t> rawToPng(const FileEntry& entry, std::span<const std::uint8_t> slot) {
  return encodePng(rawToRgb(entry, slot));
}

ImportCandidate importPng(const FileEntry& entry, std::span<const std::uint8_t> png) {
  const std::uint64_t pixels = std::uint64_t{entry.width} * entry.height;
  RgbPicture picture = decodePng(png, pixels);
  if (picture.width != entry.width || picture.height != entry.height) {
    return {kWrongSizeMessage, {}};
  }
  std::vector<std::uint8_t> raw = rgbToRaw(picture);
  if (raw.size() > kSlotCapacity) return {kTooLargeMessage, {}};
  return {std::nullopt, std::move(raw)};
}

ImportCandidate checkPngImport(const FileEntry& entry, const std::filesystem::path& chosen) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(chosen, ec);
  if (!ec && size > kPngFileLimit) return {kTooLargeMessage, {}};
  // What cannot be measured (a device, a pipe, a missing file) is refused by the read; a file that
  // grew since it was measured is read no further than one byte past the limit.
  const std::vector<std::uint8_t> bytes = readWholeFile(chosen, kPngFileLimit + 1);
  if (bytes.size() > kPngFileLimit) return {kTooLargeMessage, {}};
  return importPng(entry, bytes);
}

}  // namespace wqt
