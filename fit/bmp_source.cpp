// BMP sources, read here: 1-, 4- and 8-bit palettes, 16-, 24- and 32-bit pixels with or without
// bit masks (an alpha mask gives transparency), stored bottom-up or top-down. Every field is
// checked against the file before it is used; compressed (RLE, embedded JPEG or PNG) files are
// refused.
#include <algorithm>
#include <array>
#include <bit>
#include <vector>

#include "fit/rgba_rows.h"
#include "fit/source_decoders.h"

namespace wqt {

namespace {

constexpr std::uint32_t kRgb = 0, kBitFields = 3, kAlphaBitFields = 6;

class Bmp {
 public:
  explicit Bmp(ByteReader& reader) : reader_(reader) {}

  [[noreturn]] static void refuse() { throw SourceError(unreadablePictureMessage("BMP")); }

  void read(std::uint8_t* out, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
      const std::size_t n = reader_.read({out + got, size - got});
      if (n == 0) refuse();  // cut short
      got += n;
    }
    offset_ += size;
  }
  std::uint32_t u32() {
    std::array<std::uint8_t, 4> b{};
    read(b.data(), 4);
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
           std::uint32_t(b[3]) << 24;
  }
  std::uint16_t u16() {
    std::array<std::uint8_t, 2> b{};
    read(b.data(), 2);
    return std::uint16_t(b[0] | b[1] << 8);
  }
  void skipTo(std::uint64_t offset) {
    if (offset < offset_) refuse();
    reader_.seek(offset);
    offset_ = offset;
  }
  std::uint64_t offset() const { return offset_; }

 private:
  ByteReader& reader_;
  std::uint64_t offset_ = 0;
};

// A bit mask's field, scaled to 8 bits; a missing mask reads as `absent`.
struct Field {
  int shift = 0;
  std::uint32_t max = 0;

  explicit Field(std::uint32_t mask) {
    if (mask == 0) return;
    shift = std::countr_zero(mask);
    max = mask >> shift;
  }
  std::uint8_t of(std::uint32_t value, std::uint8_t absent) const {
    if (max == 0) return absent;
    return std::uint8_t((std::uint64_t((value >> shift) & max) * 255 + max / 2) / max);
  }
};

}  // namespace

SourcePicture decodeBmpSource(ByteReader& reader, const SourceRequest& request) {
  Bmp bmp(reader);
  std::array<std::uint8_t, 2> magic{};
  bmp.read(magic.data(), 2);
  bmp.u32();  // the file's size, often wrong
  bmp.u32();
  const std::uint32_t dataOffset = bmp.u32();
  const std::uint32_t headerSize = bmp.u32();
  std::int64_t width = 0, height = 0;
  std::uint32_t bits = 0, compression = kRgb, colours = 0;
  std::array<std::uint32_t, 4> masks{};  // R, G, B, A
  const bool core = headerSize == 12;
  if (core) {
    width = bmp.u16();
    height = bmp.u16();
    bmp.u16();
    bits = bmp.u16();
  } else if (headerSize >= 40 && headerSize <= 1024) {
    width = std::int32_t(bmp.u32());
    height = std::int32_t(bmp.u32());
    bmp.u16();
    bits = bmp.u16();
    compression = bmp.u32();
    for (int i = 0; i < 3; ++i) bmp.u32();  // data size and resolution
    colours = bmp.u32();
    bmp.u32();
    // Masks follow a 40-byte header, or are its longer forms' next fields.
    const bool fields = compression == kBitFields || compression == kAlphaBitFields;
    const int count = headerSize >= 56 ? 4 : headerSize >= 52 ? 3 : 0;
    for (int i = 0; i < count; ++i) masks[std::size_t(i)] = bmp.u32();
    bmp.skipTo(14 + std::uint64_t(headerSize));
    if (fields && headerSize == 40) {
      for (int i = 0; i < (compression == kAlphaBitFields ? 4 : 3); ++i) {
        masks[std::size_t(i)] = bmp.u32();
      }
    }
    if (!fields) masks = {};
  } else {
    Bmp::refuse();
  }
  const bool topDown = height < 0;
  height = topDown ? -height : height;
  if (width <= 0 || height <= 0) Bmp::refuse();
  refuseOverPixelCap(std::uint64_t(width), std::uint64_t(height));
  const bool palette = bits == 1 || bits == 4 || bits == 8;
  if ((!palette && bits != 16 && bits != 24 && bits != 32) ||
      (compression != kRgb &&
       !((compression == kBitFields || compression == kAlphaBitFields) && bits >= 16))) {
    Bmp::refuse();
  }
  if (masks[0] == 0 && masks[1] == 0 && masks[2] == 0) {
    // The default layouts: 5 bits a colour for 16, bytes B, G, R (and unused) for 24 and 32.
    masks = bits == 16 ? std::array<std::uint32_t, 4>{0x7C00, 0x03E0, 0x001F, 0}
                       : std::array<std::uint32_t, 4>{0xFF0000, 0xFF00, 0xFF, 0};
  }
  const Field red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);

  std::vector<std::uint8_t> table(256 * 4, 0);
  if (palette) {
    const std::uint32_t most = 1u << bits;
    const std::uint32_t count = colours == 0 || colours > most ? most : colours;
    const std::size_t entry = core ? 3 : 4;
    std::array<std::uint8_t, 4> c{};
    for (std::uint32_t i = 0; i < count; ++i) {
      bmp.read(c.data(), entry);
      table[i * 4] = c[2];
      table[i * 4 + 1] = c[1];
      table[i * 4 + 2] = c[0];
      table[i * 4 + 3] = 255;
    }
  }
  bmp.skipTo(dataOffset);

  const int w = static_cast<int>(width), h = static_cast<int>(height);
  // Stored bottom-up, the first row is the picture's last: turned as EXIF's orientation 4.
  RgbaRows rows(w, h, request, topDown ? 1 : 4);
  const std::size_t stride = (std::size_t(w) * bits + 31) / 32 * 4;
  std::vector<std::uint8_t> stored(stride), rgba(std::size_t(w) * 4);
  const std::size_t bytes = bits / 8;
  for (int y = 0; y < h; ++y) {
    bmp.read(stored.data(), stride);
    for (int x = 0; x < w; ++x) {
      std::uint8_t* out = &rgba[std::size_t(x) * 4];
      if (palette) {
        const std::size_t bit = std::size_t(x) * bits;
        const unsigned index = (stored[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        std::copy_n(&table[index * 4], 4, out);
        continue;
      }
      std::uint32_t v = 0;
      for (std::size_t i = 0; i < bytes; ++i) v |= std::uint32_t(stored[x * bytes + i]) << (8 * i);
      out[0] = red.of(v, 0);
      out[1] = green.of(v, 0);
      out[2] = blue.of(v, 0);
      out[3] = alpha.of(v, 255);
    }
    rows.row(y, rgba.data());
  }
  return rows.finish();
}

}  // namespace wqt
