#include "files/png_picture.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "base/file_io.h"
#include "files/preview.h"
#include "theme/theme_layout.h"

namespace wqt {

namespace {

[[noreturn]] void throwPngError(const std::string& message) {
  throw PngError("PNG error: " + message, ErrorCode::Png, 0, {}, message);
}

// No picture side longer than a slot's picture can be.
constexpr std::uint32_t kMaxSide = kSlotCapacity / 2;

// The picture as 8-bit RGB, its pixels put in place as they come (an interlaced picture's passes
// included); a picture too large keeps its size and gets no pixels.
class RgbSink : public PngSink {
 public:
  explicit RgbSink(std::uint64_t maxPixels) : maxPixels_(maxPixels) {}

  std::optional<PngRows> start(const PngHeader& header) override {
    picture.width = static_cast<int>(header.width);
    picture.height = static_cast<int>(header.height);
    if (std::uint64_t{header.width} * header.height > maxPixels_) return std::nullopt;
    picture.rgb.resize(std::size_t{header.width} * header.height * 3);
    return PngRows::Rgb;
  }

  void row(const PngRow& row) override {
    const std::size_t width = static_cast<std::size_t>(picture.width);
    std::uint8_t* out = picture.rgb.data() + std::size_t{row.y} * width * 3;
    if (row.step == 1) {
      std::memcpy(out, row.pixels, width * 3);
      return;
    }
    for (std::size_t x = row.first; x < width; x += row.step) {
      std::memcpy(out + x * 3, row.pixels + x * 3, 3);
    }
  }

  RgbPicture picture;

 private:
  std::uint64_t maxPixels_;
};

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
  std::size_t pos = 0;
  const PngPull pull = [&](std::span<std::uint8_t> out) {
    const std::size_t n = std::min(out.size(), bytes.size() - pos);
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(pos), n, out.begin());
    pos += n;
    return n;
  };
  RgbSink sink(maxPixels);
  readPng(pull, {kMaxSide, false}, sink);
  return std::move(sink.picture);
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
