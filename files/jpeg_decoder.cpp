#include "files/jpeg_decoder.h"

#include <bit>
#include <string>
#include <vector>

#include "files/jpeg_session.h"
// After jpeglib.h: the library's message codes.
#include <jerror.h>

#include "base/file_descriptor.h"

namespace wqt {

namespace {

constexpr int kQuantizedColours = 236;

// The library's byte order that makes each pixel the word 0xFFRRGGBB on this machine.
constexpr J_COLOR_SPACE kOpaqueWordOrder =
    std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;

JpegSize headerSize(const JpegSession& s) {
  return {static_cast<int>(s.cinfo.image_width), static_cast<int>(s.cinfo.image_height)};
}

}  // namespace

JpegError::JpegError(int code, bool afterHeader)
    : Error("JPEG error #" + std::to_string(code), ErrorCode::Jpeg, 0, {}, std::to_string(code)),
      code_(code),
      afterHeader_(afterHeader) {}

JpegSize readJpegSize(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return {};
  JpegSession s;
  if (!s.readHeader(bytes)) s.fail(false);
  return headerSize(s);
}

JpegSize readJpegFileSize(const std::filesystem::path& path) {
  const FileDescriptor fd = openForReading(path);
  // An empty file is 0 × 0 without calling the library.
  std::uint8_t first = 0;
  if (readAt(fd.get(), 0, {&first, 1}, path) == 0) return {};
  std::uint64_t offset = 0;
  JpegSession s;
  const bool read = s.readHeader([&](std::span<std::uint8_t> piece) {
    const std::size_t n = readAt(fd.get(), offset, piece, path);
    offset += n;
    return n;
  });
  if (!read) s.fail(false);
  return headerSize(s);
}

Picture decodeJpeg(std::span<const std::uint8_t> bytes, bool quantize) {
  JpegSession s;
  // Empty bytes have no header to read; the library's failure on them belongs to decoding.
  if (!s.readHeader(bytes)) s.fail(bytes.empty());

  // A header may claim up to 65500 × 65500 pixels in a few hundred bytes. A picture above the
  // preview's limit is refused with the library's own "image too big" error before anything of
  // its size is allocated. The header itself was sound, so this is a failure after it.
  if (std::uint64_t{s.cinfo.image_width} * s.cinfo.image_height > kMaxPreviewPixels) {
    throw JpegError(JERR_IMAGE_TOO_BIG, true);
  }

  const bool grey = s.cinfo.jpeg_color_space == JCS_GRAYSCALE;
  const bool started = s.guarded([&] {
    s.cinfo.scale_num = 1;
    s.cinfo.scale_denom = 1;
    s.cinfo.do_block_smoothing = TRUE;
    // Colour pictures come out as opaque 0xFFRRGGBB words; the quantizer works on plain RGB.
    s.cinfo.out_color_space = grey ? JCS_GRAYSCALE : quantize ? JCS_RGB : kOpaqueWordOrder;
    if (grey || quantize) {
      s.cinfo.quantize_colors = TRUE;
      s.cinfo.desired_number_of_colors = kQuantizedColours;
    }
    jpeg_start_decompress(&s.cinfo);
  });
  if (!started) s.fail(true);

  Picture picture;
  picture.width = static_cast<int>(s.cinfo.output_width);
  picture.height = static_cast<int>(s.cinfo.output_height);
  const bool indexed = s.cinfo.quantize_colors;
  picture.format = indexed ? Picture::Format::Indexed8 : Picture::Format::Rgb32;
  // Rows padded to a multiple of 4 bytes; a width of at most 65500 keeps the sum in an int.
  picture.bytesPerLine = (picture.width * (indexed ? 1 : 4) + 3) / 4 * 4;
  if (indexed) {
    // The colour map lives in the library's image pool, which finishing releases: copy it now.
    // A grey map has one row, which gives all three channels.
    const JSAMPARRAY map = s.cinfo.colormap;
    const int g = s.cinfo.out_color_components == 1 ? 0 : 1;
    for (int i = 0; i < s.cinfo.actual_number_of_colors; ++i)
      picture.palette.push_back(Picture::opaqueRgb(map[0][i], map[g][i], map[2 * g][i]));
  }
  const auto stride = static_cast<std::size_t>(picture.bytesPerLine);
  picture.pixels.assign(stride * s.cinfo.output_height, 0);
  const bool finished = s.guarded([&] {
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
      JSAMPROW row = picture.pixels.data() + stride * s.cinfo.output_scanline;
      jpeg_read_scanlines(&s.cinfo, &row, 1);
    }
    jpeg_finish_decompress(&s.cinfo);
  });
  if (!finished) s.fail(true);
  return picture;
}

std::optional<std::string> jpegCorruption(std::span<const std::uint8_t> bytes) {
  JpegSession s;
  if (!s.readHeader(bytes)) return s.firstText();
  // Every scanline is decoded into one row, the widest a JPEG can have, in up to four components.
  std::vector<JSAMPLE> row(std::size_t{JPEG_MAX_DIMENSION} * 4);
  JSAMPLE* rowStart = row.data();
  bool fits = false;
  const bool decoded = s.guarded([&] {
    jpeg_calc_output_dimensions(&s.cinfo);
    fits =
        std::size_t{s.cinfo.output_width} * static_cast<std::size_t>(s.cinfo.output_components) <=
        row.size();
    if (!fits) return;
    jpeg_start_decompress(&s.cinfo);
    while (s.cinfo.output_scanline < s.cinfo.output_height)
      jpeg_read_scanlines(&s.cinfo, &rowStart, 1);
    jpeg_finish_decompress(&s.cinfo);
  });
  if (decoded && fits && !s.warned()) return std::nullopt;
  return s.firstText();
}

}  // namespace wqt
