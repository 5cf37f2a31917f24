#include "files/jpeg_decoder.h"

#include <bit>
#include <string>
#include <vector>

#include "files/jpeg_library.h"
// After jpeglib.h: the library's message codes.
#include <jerror.h>

#include "base/file_descriptor.h"

namespace wqt {

namespace {

constexpr int kQuantizedColours = 236;

// The library's byte order that makes each pixel the word 0xFFRRGGBB on this machine.
constexpr J_COLOR_SPACE kOpaqueWordOrder =
    std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;

// One decompression object with its error manager and progress monitor; destroyed when the session
// ends, whether the library failed or a C++ exception left the caller. The object starts zeroed,
// which the library destroys as one never or half created.
struct Session {
  jpeg_decompress_struct cinfo{};
  JpegErrorManager err{};
  jpeg_progress_mgr progress{};

  Session() {
    cinfo.err = jpegErrorManager(err);
    limitJpegScans(progress);
  }
  ~Session() { jpeg_destroy_decompress(&cinfo); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  int messageCode() const { return err.pub.msg_code; }
};

// Creates the object, points it at its source and reads the header, requiring an image.
template <typename SetSource>
bool readHeader(Session& s, SetSource&& setSource) {
  return jpegGuarded(s.err, [&] {
    jpeg_create_decompress(&s.cinfo);
    s.cinfo.mem->max_memory_to_use = kJpegMemoryLimit;
    s.cinfo.progress = &s.progress;
    setSource();
    jpeg_read_header(&s.cinfo, TRUE);
  });
}

bool readHeader(Session& s, std::span<const std::uint8_t> bytes) {
  return readHeader(
      s, [&] { jpeg_mem_src(&s.cinfo, bytes.data(), static_cast<unsigned long>(bytes.size())); });
}

// What a full decode met: a warning about the data or a fatal error, with the library's first text.
struct Corruption {
  bool found = false;
  char text[JMSG_LENGTH_MAX] = {};
};

void keepText(j_common_ptr cinfo) {
  auto* corruption = static_cast<Corruption*>(cinfo->client_data);
  if (corruption->text[0] == '\0') cinfo->err->format_message(cinfo, corruption->text);
}

[[noreturn]] void onCorruptionFatal(j_common_ptr cinfo) {
  keepText(cinfo);
  std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

// Level -1 is a warning about the data itself (a premature end, a missing marker, bad Huffman
// codes): the picture shown would be wrong, so it is a fault. Trace messages are not.
void onCorruptionMessage(j_common_ptr cinfo, int level) {
  if (level < 0) {
    keepText(cinfo);
    static_cast<Corruption*>(cinfo->client_data)->found = true;
  }
}

}  // namespace

JpegError::JpegError(int code, bool afterHeader)
    : Error("JPEG error #" + std::to_string(code), ErrorCode::Jpeg),
      code_(code),
      afterHeader_(afterHeader) {}

JpegSize readJpegSize(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return {};
  Session s;
  if (!readHeader(s, bytes)) throw JpegError(s.messageCode(), false);
  return {static_cast<int>(s.cinfo.image_width), static_cast<int>(s.cinfo.image_height)};
}

JpegSize readJpegFileSize(const std::filesystem::path& path) {
  const FileDescriptor fd = openForReading(path);
  std::uint64_t offset = 0;
  JpegReaderSource source;
  source.read = [&](std::span<std::uint8_t> piece) {
    const std::size_t n = readAt(fd.get(), offset, piece, path);
    offset += n;
    return n;
  };
  // The first piece is read here: an empty file is 0 × 0 without calling the library.
  const std::size_t first = source.read(source.buffer);
  if (first == 0) return {};
  Session s;
  const bool read = readHeader(s, [&] {
    useJpegReaderSource(&s.cinfo, source);
    source.pub.next_input_byte = source.buffer.data();
    source.pub.bytes_in_buffer = first;
  });
  if (!read) {
    if (source.readError) std::rethrow_exception(source.readError);
    throw JpegError(s.messageCode(), false);
  }
  return {static_cast<int>(s.cinfo.image_width), static_cast<int>(s.cinfo.image_height)};
}

Picture decodeJpeg(std::span<const std::uint8_t> bytes, bool quantize) {
  Session s;
  // Empty bytes have no header to read; the library's failure on them belongs to decoding.
  if (!readHeader(s, bytes)) throw JpegError(s.messageCode(), bytes.empty());

  // A header may claim up to 65500 × 65500 pixels in a few hundred bytes. A picture above the
  // preview's limit is refused with the library's own "image too big" error before anything of
  // its size is allocated. The header itself was sound, so this is a failure after it.
  if (std::uint64_t{s.cinfo.image_width} * s.cinfo.image_height > kMaxPreviewPixels) {
    throw JpegError(JERR_IMAGE_TOO_BIG, true);
  }

  const bool grey = s.cinfo.jpeg_color_space == JCS_GRAYSCALE;
  const bool started = jpegGuarded(s.err, [&] {
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
  if (!started) throw JpegError(s.messageCode(), true);

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
  const bool finished = jpegGuarded(s.err, [&] {
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
      JSAMPROW row = picture.pixels.data() + stride * s.cinfo.output_scanline;
      jpeg_read_scanlines(&s.cinfo, &row, 1);
    }
    jpeg_finish_decompress(&s.cinfo);
  });
  if (!finished) throw JpegError(s.messageCode(), true);
  return picture;
}

std::optional<std::string> jpegCorruption(std::span<const std::uint8_t> bytes) {
  Session s;
  Corruption corruption;
  // Kept by the object's creation, which clears everything else.
  s.cinfo.client_data = &corruption;
  s.err.pub.error_exit = onCorruptionFatal;
  s.err.pub.emit_message = onCorruptionMessage;
  if (!readHeader(s, bytes)) return std::string(corruption.text);
  // Every scanline is decoded into one row, the widest a JPEG can have, in up to four components.
  std::vector<JSAMPLE> row(std::size_t{JPEG_MAX_DIMENSION} * 4);
  JSAMPLE* rowStart = row.data();
  bool fits = false;
  const bool decoded = jpegGuarded(s.err, [&] {
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
  if (decoded && fits && !corruption.found) return std::nullopt;
  return std::string(corruption.text);
}

}  // namespace wqt
