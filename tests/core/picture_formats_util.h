#pragma once
// Source pictures of the further formats, made in memory by their libraries'
// encoders (BMP by hand): each from a function giving the R, G, B, A of a
// pixel.
#include <gif_lib.h>
#include <libheif/heif.h>
#include <tiffio.h>
#include <unistd.h>
#include <webp/encode.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace wqt::test {

using Rgba = std::function<std::array<std::uint8_t, 4>(int, int)>;

inline std::vector<std::uint8_t> rgbaPixels(int width, int height, const Rgba& pixel) {
  std::vector<std::uint8_t> out;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto p = pixel(x, y);
      out.insert(out.end(), p.begin(), p.end());
    }
  }
  return out;
}

inline std::vector<std::uint8_t> encodeWebp(int width, int height, const Rgba& pixel,
                                            bool lossless) {
  const std::vector<std::uint8_t> rgba = rgbaPixels(width, height, pixel);
  std::uint8_t* out = nullptr;
  const std::size_t size = lossless
                               ? WebPEncodeLosslessRGBA(rgba.data(), width, height, width * 4, &out)
                               : WebPEncodeRGBA(rgba.data(), width, height, width * 4, 100, &out);
  std::vector<std::uint8_t> bytes(out, out + size);
  WebPFree(out);
  return bytes;
}

// The still WebP with an EXIF chunk after its picture, in the extended form
// that allows one.
inline std::vector<std::uint8_t> webpWithExif(const std::vector<std::uint8_t>& webp, int width,
                                              int height, const std::vector<std::uint8_t>& exif) {
  std::vector<std::uint8_t> out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'};
  const auto u24 = [&out](std::uint32_t v) {
    out.insert(out.end(), {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16)});
  };
  const auto chunk = [&](const char* fourcc, const std::vector<std::uint8_t>& data) {
    out.insert(out.end(), fourcc, fourcc + 4);
    u24(std::uint32_t(data.size()));
    out.push_back(0);
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() % 2 != 0) out.push_back(0);
  };
  out.insert(out.end(), {'V', 'P', '8', 'X', 10, 0, 0, 0, 0x08, 0, 0, 0});  // EXIF flag
  u24(std::uint32_t(width - 1));
  u24(std::uint32_t(height - 1));
  out.insert(out.end(), webp.begin() + 12,
             webp.end());  // the picture's own chunk
  chunk("EXIF", exif);
  const std::uint32_t size = std::uint32_t(out.size() - 8);
  for (int i = 0; i < 4; ++i) out[std::size_t(4 + i)] = std::uint8_t(size >> (8 * i));
  return out;
}

// A GIF of the palette's indexes, `transparent` the transparent index or -1;
// its frame leaves the canvas's first `left` columns uncovered.
inline std::vector<std::uint8_t> encodeGif(int width, int height,
                                           const std::vector<GifColorType>& palette,
                                           const std::function<int(int, int)>& index,
                                           int transparent, bool interlaced = false, int left = 0) {
  std::vector<std::uint8_t> bytes;
  const OutputFunc write = [](GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
  };
  GifFileType* gif = EGifOpen(&bytes, write, nullptr);
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  for (std::size_t i = 0; i < palette.size(); ++i) map->Colors[i] = palette[i];
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, width, height, 8, 0, map);
  if (transparent >= 0) {
    const GifByteType control[4] = {1, 0, 0, GifByteType(transparent)};
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
  }
  EGifPutImageDesc(gif, left, 0, width - left, height, interlaced, nullptr);
  static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
  std::vector<GifPixelType> line(static_cast<std::size_t>(width));
  for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass) {
    for (int y = interlaced ? kStart[pass] : 0; y < height; y += interlaced ? kStep[pass] : 1) {
      for (int x = left; x < width; ++x) line[std::size_t(x - left)] = GifPixelType(index(x, y));
      EGifPutLine(gif, line.data(), width - left);
    }
  }
  EGifCloseFile(gif, nullptr);
  GifFreeMapObject(map);
  return bytes;
}

// A 32-bit BMP with a BITMAPV5 header and an alpha mask, bottom-up or top-down.
inline std::vector<std::uint8_t> encodeBmp32(int width, int height, const Rgba& pixel,
                                             bool topDown) {
  std::vector<std::uint8_t> b;
  const auto u16 = [&b](unsigned v) { b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); };
  const auto u32 = [&](std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  const std::uint32_t data = std::uint32_t(width) * std::uint32_t(height) * 4;
  b = {'B', 'M'};
  u32(14 + 124 + data);
  u32(0);
  u32(14 + 124);
  u32(124);
  u32(std::uint32_t(width));
  u32(std::uint32_t(topDown ? -height : height));
  u16(1);
  u16(32);
  u32(3);  // bit fields
  u32(data);
  u32(2835);
  u32(2835);
  u32(0);
  u32(0);
  for (std::uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) u32(mask);
  b.resize(14 + 124, 0);
  for (int row = 0; row < height; ++row) {
    const int y = topDown ? row : height - 1 - row;
    for (int x = 0; x < width; ++x) {
      const auto p = pixel(x, y);
      b.insert(b.end(), {p[2], p[1], p[0], p[3]});
    }
  }
  return b;
}

// An RGB(A) TIFF of 8 or 16 bits a sample, deflated in strips of two rows, with
// an orientation tag; 16-bit samples repeat the 8-bit value in both bytes.
inline std::vector<std::uint8_t> encodeTiff(int width, int height, const Rgba& pixel, int bits,
                                            bool alpha, int orientation = 1) {
  // Written through a temporary file: the library seeks back over what it
  // wrote.
  std::FILE* file = std::tmpfile();
  TIFF* tiff = TIFFFdOpen(::dup(::fileno(file)), "test", "w");
  const int samples = alpha ? 4 : 3;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, std::uint32_t(width));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, std::uint32_t(height));
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 2);
  TIFFSetField(tiff, TIFFTAG_ORIENTATION, orientation);
  if (alpha) {
    const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  std::vector<std::uint8_t> row(std::size_t(width) * std::size_t(samples) * std::size_t(bits / 8));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto p = pixel(x, y);
      for (int c = 0; c < samples; ++c) {
        for (int k = 0; k < bits / 8; ++k) {
          row[(std::size_t(x) * std::size_t(samples) + std::size_t(c)) * std::size_t(bits / 8) +
              std::size_t(k)] = p[std::size_t(c)];
        }
      }
    }
    TIFFWriteScanline(tiff, row.data(), std::uint32_t(y), 0);
  }
  TIFFClose(tiff);
  std::fseek(file, 0, SEEK_END);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::ftell(file)));
  std::rewind(file);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
  std::fclose(file);
  return bytes;
}

// A HEIC (x265) or an AVIF (aom) of the picture, alpha kept; empty when libheif has no such
// encoder here.
inline std::vector<std::uint8_t> encodeHeif(int width, int height, const Rgba& pixel, bool avif) {
  std::vector<std::uint8_t> bytes;
  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  if (heif_context_get_encoder_for_format(
          context, avif ? heif_compression_AV1 : heif_compression_HEVC, &encoder)
          .code == heif_error_Ok) {
    heif_encoder_set_lossy_quality(encoder, 90);
    if (!avif) heif_encoder_set_parameter(encoder, "preset", "ultrafast");
    // Opaque pictures without an alpha plane: a file of one coded picture.
    const std::vector<std::uint8_t> rgba = rgbaPixels(width, height, pixel);
    bool opaque = true;
    for (std::size_t i = 3; i < rgba.size(); i += 4) opaque = opaque && rgba[i] == 255;
    const int channels = opaque ? 3 : 4;
    heif_image* image = nullptr;
    heif_image_create(width, height, heif_colorspace_RGB,
                      opaque ? heif_chroma_interleaved_RGB : heif_chroma_interleaved_RGBA, &image);
    heif_image_add_plane(image, heif_channel_interleaved, width, height, 8);
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        std::memcpy(plane + std::size_t(y) * std::size_t(stride) + std::size_t(x) * channels,
                    rgba.data() + (std::size_t(y) * width + x) * 4, std::size_t(channels));
      }
    }
    heif_writer writer{1, [](heif_context*, const void* data, std::size_t size, void* out) {
                         auto* to = static_cast<std::vector<std::uint8_t>*>(out);
                         to->insert(to->end(), static_cast<const std::uint8_t*>(data),
                                    static_cast<const std::uint8_t*>(data) + size);
                         return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                       }};
    if (heif_context_encode_image(context, image, encoder, nullptr, nullptr).code !=
            heif_error_Ok ||
        heif_context_write(context, &writer, &bytes).code != heif_error_Ok) {
      bytes.clear();
    }
    heif_image_release(image);
    heif_encoder_release(encoder);
  }
  heif_context_free(context);
  return bytes;
}

// The body of the first box of `type` in a file libheif wrote, found by its four letters.
inline std::vector<std::uint8_t> heifBox(const std::vector<std::uint8_t>& file, const char* type,
                                         bool withHeader = false) {
  const auto at = std::search(file.begin(), file.end(), type, type + 4);
  if (at - file.begin() < 4) return {};
  const auto start = at - 4;
  const std::size_t size = std::size_t(start[0]) << 24 | start[1] << 16 | start[2] << 8 | start[3];
  return {withHeader ? start : at + 4, start + std::ptrdiff_t(size)};
}

// A HEIC grid of `columns` tiles a row, tileSide pixels square, showing width × height: each
// tile's coded data and hvcC taken from a single-picture HEIC of encodeHeif; the grid given
// a one-byte transform property ("irot", "imir") when asked.
inline std::vector<std::uint8_t> heifGrid(const std::vector<std::vector<std::uint8_t>>& tiles,
                                          int columns, int tileSide, int width, int height,
                                          const char* transform = nullptr,
                                          std::uint8_t transformValue = 0) {
  using Bytes = std::vector<std::uint8_t>;
  const auto be = [](Bytes& out, std::uint64_t v, int n) {
    for (int i = n - 1; i >= 0; --i) out.push_back(std::uint8_t(v >> (8 * i)));
  };
  const auto box = [&](const char* type, const Bytes& body, int fullVersion = -1) {
    Bytes out;
    be(out, body.size() + 8 + (fullVersion >= 0 ? 4 : 0), 4);
    out.insert(out.end(), type, type + 4);
    if (fullVersion >= 0) be(out, std::uint64_t(fullVersion) << 24, 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
  };
  const auto join = [](std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  const std::size_t n = tiles.size();
  Bytes infes, refs, props, links, data;
  be(refs, 1, 2);
  be(refs, n, 2);
  const auto ispe = [&](int w, int h) {
    Bytes b;
    be(b, std::uint64_t(w), 4);
    be(b, std::uint64_t(h), 4);
    return box("ispe", b, 0);
  };
  props = join({ispe(width, height), ispe(tileSide, tileSide)});
  if (transform) props = join({props, box(transform, {transformValue})});
  const std::size_t firstConfig = transform ? 4 : 3;
  be(links, n + 1, 4);
  be(links, 1, 2), be(links, transform ? 2 : 1, 1), be(links, 1, 1);
  if (transform) be(links, 0x83, 1);
  infes = box("infe", {0, 1, 0, 0, 'g', 'r', 'i', 'd', 0}, 2);
  for (std::size_t i = 0; i < n; ++i) {
    Bytes e;
    be(e, i + 2, 2), be(e, 0, 2);
    e.insert(e.end(), {'h', 'v', 'c', '1', 0});
    infes = join({infes, box("infe", e, 2)});
    be(refs, i + 2, 2);
    props = join({props, heifBox(tiles[i], "hvcC", true)});
    be(links, i + 2, 2), be(links, 2, 1), be(links, 0x80 | (i + firstConfig), 1), be(links, 2, 1);
  }
  const auto meta = [&](std::size_t dataAt) {
    Bytes count, locations;
    be(count, n + 1, 2);
    be(locations, 0x4400, 2);
    be(locations, n + 1, 2);
    be(locations, 1, 2), be(locations, 1, 2), be(locations, 0, 2), be(locations, 1, 2);
    be(locations, 0, 4), be(locations, 8, 4);
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t length = heifBox(tiles[i], "mdat").size();
      be(locations, i + 2, 2), be(locations, 0, 4), be(locations, 1, 2);
      be(locations, dataAt, 4), be(locations, length, 4);
      dataAt += length;
    }
    Bytes grid{0, 0, std::uint8_t(n / std::size_t(columns) - 1), std::uint8_t(columns - 1)};
    be(grid, std::uint64_t(width), 2), be(grid, std::uint64_t(height), 2);
    Bytes pitm;
    be(pitm, 1, 2);
    return box(
        "meta",
        join({box("hdlr", {0, 0, 0, 0, 'p', 'i', 'c', 't', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                  0),
              box("pitm", pitm, 0), box("iinf", join({count, infes}), 0),
              box("iref", box("dimg", refs), 0),
              box("iprp", join({box("ipco", props), box("ipma", links, 0)})),
              box("iloc", locations, 1), box("idat", grid)}),
        0);
  };
  const Bytes ftyp =
      box("ftyp", {'h', 'e', 'i', 'c', 0, 0, 0, 0, 'm', 'i', 'f', '1', 'h', 'e', 'i', 'c'});
  const std::size_t dataAt = ftyp.size() + meta(0).size() + 8;
  for (const Bytes& tile : tiles) data = join({data, heifBox(tile, "mdat")});
  return join({ftyp, meta(dataAt), box("mdat", data)});
}

}  // namespace wqt::test
