#pragma once
// Source pictures made in memory: JPEGs with EXIF and ICC segments, PNGs of
// every colour type and depth, ICC profiles that differ visibly from sRGB, and
// hand-built hostile PNGs that cost a careless reader gigabytes or seconds,
// made in a few milliseconds and a few bytes.
#include <lcms2.h>
#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/jpeg_encoder.h"

namespace wqt::test {

using Bytes = std::vector<std::uint8_t>;

// The JPEG with an APPn segment (marker 0xE0 + n) right after its
// start-of-image marker.
inline Bytes withSegment(Bytes jpeg, std::uint8_t marker, const Bytes& payload) {
  const std::size_t length = payload.size() + 2;
  Bytes segment = {0xFF, marker, std::uint8_t(length >> 8), std::uint8_t(length)};
  segment.insert(segment.end(), payload.begin(), payload.end());
  jpeg.insert(jpeg.begin() + 2, segment.begin(), segment.end());
  return jpeg;
}

// An EXIF APP1 payload holding only the orientation, little-endian.
inline Bytes exifOrientation(int orientation) {
  return {'E',  'x',  'i', 'f', 0, 0,        // EXIF header
          'I',  'I',  42,  0,   8, 0, 0, 0,  // TIFF header, IFD at 8
          1,    0,                           // one entry
          0x12, 0x01, 3,   0,   1, 0, 0, 0, std::uint8_t(orientation),
          0,    0,    0,        // SHORT orientation
          0,    0,    0,   0};  // no next IFD
}

// An APP2 payload carrying a whole ICC profile in one piece.
inline Bytes iccSegment(const Bytes& profile) {
  Bytes payload = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1, 1};
  payload.insert(payload.end(), profile.begin(), profile.end());
  return payload;
}

// A profile with linear tone curves (sRGB primaries, or grey): a sample of 128
// is about 188 in sRGB, where reading it as sRGB would leave it at 128.
inline Bytes linearProfile(bool grey) {
  cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
  cmsCIExyY white;
  cmsWhitePointFromTemp(&white, 6504);
  cmsHPROFILE profile = nullptr;
  if (grey) {
    profile = cmsCreateGrayProfile(&white, linear);
  } else {
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
    cmsToneCurve* curves[3] = {linear, linear, linear};
    profile = cmsCreateRGBProfile(&white, &primaries, curves);
  }
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  Bytes bytes(size);
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  cmsFreeToneCurve(linear);
  return bytes;
}

// A colour JPEG in quadrants: red top left, green top right, blue bottom left,
// white bottom right.
inline Bytes quadrantJpeg(int width, int height, bool progressive = false) {
  Bytes rgb(std::size_t(width) * std::size_t(height) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool right = x >= width / 2, bottom = y >= height / 2;
      std::uint8_t* p = &rgb[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3];
      p[0] = !bottom && !right ? 255 : bottom && right ? 255 : 0;
      p[1] = !bottom && right ? 255 : bottom && right ? 255 : 0;
      p[2] = bottom ? 255 : 0;
    }
  }
  return wqt::gen::encodeJpeg(rgb, width, height, 3, JCS_RGB, 95, progressive);
}

struct PngRecipe {
  int width = 8;
  int height = 8;
  int colourType = PNG_COLOR_TYPE_RGB;
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<png_color> palette;  // PNG_COLOR_TYPE_PALETTE
  Bytes transparency;              // tRNS alpha of palette entries
  Bytes icc;
  // The samples of one pixel at the PNG's depth (one value per channel).
  std::function<std::vector<unsigned>(int x, int y)> pixel;
};

inline Bytes encodePng(const PngRecipe& r) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  Bytes out;
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t n) {
        auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, png_uint_32(r.width), png_uint_32(r.height), r.bitDepth, r.colourType,
               r.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!r.palette.empty()) png_set_PLTE(png, info, r.palette.data(), int(r.palette.size()));
  if (!r.transparency.empty()) {
    png_set_tRNS(png, info, r.transparency.data(), int(r.transparency.size()), nullptr);
  }
  if (!r.icc.empty()) png_set_iCCP(png, info, "test", 0, r.icc.data(), png_uint_32(r.icc.size()));
  png_write_info(png, info);
  if (r.bitDepth == 16) png_set_swap(png);  // samples below are native 16-bit words
  const int channels = png_get_channels(png, info);
  const std::size_t rowBytes = png_get_rowbytes(png, info);
  const int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 0; y < r.height; ++y) {
      Bytes row(rowBytes, 0);
      for (int x = 0; x < r.width; ++x) {
        const std::vector<unsigned> v = r.pixel(x, y);
        for (int c = 0; c < channels; ++c) {
          const std::size_t i = std::size_t(x) * std::size_t(channels) + std::size_t(c);
          if (r.bitDepth == 16) {
            const auto word = std::uint16_t(v[std::size_t(c)]);
            std::memcpy(&row[2 * i], &word, 2);
          } else if (r.bitDepth == 8) {
            row[i] = std::uint8_t(v[std::size_t(c)]);
          } else {  // 1, 2 or 4 bits: packed from the high bits, one channel
            const std::size_t bit = std::size_t(x) * std::size_t(r.bitDepth);
            row[bit / 8] |= std::uint8_t(v[0] << (8 - r.bitDepth - bit % 8));
          }
        }
      }
      png_write_row(png, row.data());
    }
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

inline void appendU32BE(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// A chunk with its length and checksum.
inline void appendChunk(std::vector<std::uint8_t>& out, std::string_view type,
                        const std::vector<std::uint8_t>& data) {
  appendU32BE(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  const auto crc = crc32(0, out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
  appendU32BE(out, static_cast<std::uint32_t>(crc));
}

// The signature and the header of an 8-bit RGB picture.
inline std::vector<std::uint8_t> pngStart(std::uint32_t width, std::uint32_t height,
                                          bool interlaced = false) {
  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  appendU32BE(header, width);
  appendU32BE(header, height);
  header.insert(header.end(), {8, 2, 0, 0, std::uint8_t(interlaced ? 1 : 0)});
  appendChunk(out, "IHDR", header);
  return out;
}

// 57 bytes: a chunk of `type` that claims 2^31 - 1 bytes, followed by 16 of
// them.
inline std::vector<std::uint8_t> chunkBombPng(std::string_view type) {
  std::vector<std::uint8_t> out = pngStart(32, 32);
  appendU32BE(out, 0x7FFFFFFF);
  out.insert(out.end(), type.begin(), type.end());
  out.resize(out.size() + 16, 'A');
  return out;
}

// The bytes of a black picture's rows before compression: a filter byte and
// three bytes a pixel for each row of each pass.
inline std::size_t blankRowBytes(std::uint32_t width, std::uint32_t height, bool interlaced) {
  if (!interlaced) return std::size_t{height} * (std::size_t{width} * 3 + 1);
  std::size_t bytes = 0;
  for (int pass = 0; pass < 7; ++pass) {
    const std::size_t columns = PNG_PASS_COLS(width, pass), rows = PNG_PASS_ROWS(height, pass);
    if (columns != 0) bytes += rows * (columns * 3 + 1);
  }
  return bytes;
}

// A black picture whose compressed rows go on with `trailingMiB` MiB of zeros
// inside the same stream, then IEND. The zeros are one compressed MiB repeated:
// after a full flush the compressor starts afresh, so each MiB compresses to
// the same bytes.
inline std::vector<std::uint8_t> deflateBombPng(std::uint32_t width, std::uint32_t height,
                                                std::uint32_t trailingMiB,
                                                bool interlaced = false) {
  z_stream z{};
  deflateInit(&z, Z_BEST_COMPRESSION);
  std::vector<std::uint8_t> stream;
  const auto compress = [&](std::vector<std::uint8_t> in, int flush) {
    std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(in.size())) + 64);
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, flush);
    out.erase(out.end() - static_cast<std::ptrdiff_t>(z.avail_out), out.end());
    return out;
  };
  const std::vector<std::uint8_t> rows(blankRowBytes(width, height, interlaced), 0);
  const std::vector<std::uint8_t> mib(1 << 20, 0);
  stream = compress(rows, Z_FULL_FLUSH);
  const std::vector<std::uint8_t> zeros = compress(mib, Z_FULL_FLUSH);
  deflateEnd(&z);
  uLong adler = adler32(1, rows.data(), static_cast<uInt>(rows.size()));
  const uLong zerosAdler = adler32(1, mib.data(), static_cast<uInt>(mib.size()));
  for (std::uint32_t i = 0; i < trailingMiB; ++i) {
    stream.insert(stream.end(), zeros.begin(), zeros.end());
    adler = adler32_combine(adler, zerosAdler, static_cast<z_off_t>(mib.size()));
  }
  // A last, empty stored block ends the stream; the checksum of everything
  // follows.
  stream.insert(stream.end(), {0x01, 0x00, 0x00, 0xFF, 0xFF});
  appendU32BE(stream, static_cast<std::uint32_t>(adler));

  std::vector<std::uint8_t> out = pngStart(width, height, interlaced);
  appendChunk(out, "IDAT", stream);
  appendChunk(out, "IEND", {});
  return out;
}

}  // namespace wqt::test
