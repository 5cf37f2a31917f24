#include "files/jpeg_decoder.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <array>
#include <bit>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <string>

#include <jpeglib.h>
// After jpeglib.h: the library's message codes.
#include <jerror.h>

#include "base/file_descriptor.h"

namespace wqt {

namespace {

constexpr int kQuantizedColours = 236;

// The library's byte order that makes each pixel the word 0xFFRRGGBB on this machine.
constexpr J_COLOR_SPACE kOpaqueWordOrder =
    std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;

// What the library may allocate for one decode beyond our picture (whole-image coefficient
// buffers of progressive or multi-scan files). Without a backing store the library fails with
// its own error when a picture would need more, instead of taking whatever the header asks for.
constexpr long kLibraryMemoryLimit = 256L << 20;

struct ErrorManager {
  jpeg_error_mgr pub;  // first, so the library's pointer to it is a pointer to the whole
  std::jmp_buf jump;
};

// A fatal library error jumps back to the guarded call that is running.
[[noreturn]] void onFatalError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings (a truncated stream among them) and trace messages are ignored.
void onMessage(j_common_ptr, int) {}
void onOutputMessage(j_common_ptr) {}

// Called by the library as it works through the file, at every scan among other points: a file
// with more scans than any picture needs fails as an invalid scan script.
void onProgress(j_common_ptr cinfo) {
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans) {
    ERREXIT(cinfo, JERR_BAD_SCAN_SCRIPT);
  }
}

// One decompression object with its error manager and progress monitor; destroyed when the session
// ends, whether the library failed or a C++ exception left the caller.
struct Session {
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  jpeg_progress_mgr progress{};
  bool created = false;

  Session() {
    cinfo.err = jpeg_std_error(&err.pub);
    progress.progress_monitor = onProgress;
    err.pub.error_exit = onFatalError;
    err.pub.emit_message = onMessage;
    err.pub.output_message = onOutputMessage;
  }
  ~Session() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  int messageCode() const { return err.pub.msg_code; }
};

// Runs library calls with the jump target set. Returns false when the library failed; its message
// code is then in the session. The steps must not own objects with destructors nor throw: a
// fatal error leaves them by longjmp, and no C++ exception may cross the library's frames.
template <typename Steps>
bool guarded(Session& session, Steps&& steps) {
  if (setjmp(session.err.jump) != 0) return false;
  steps();
  return true;
}

// Creates the object, points it at its source and reads the header, requiring an image.
template <typename SetSource>
bool readHeader(Session& s, SetSource&& setSource) {
  return guarded(s, [&] {
    s.created = true;  // the object is zeroed, so destroying a half-created one is safe
    jpeg_create_decompress(&s.cinfo);
    s.cinfo.mem->max_memory_to_use = kLibraryMemoryLimit;
    s.cinfo.progress = &s.progress;
    setSource();
    jpeg_read_header(&s.cinfo, TRUE);
  });
}

bool readHeader(Session& s, std::span<const std::uint8_t> bytes) {
  return readHeader(
      s, [&] { jpeg_mem_src(&s.cinfo, bytes.data(), static_cast<unsigned long>(bytes.size())); });
}

// A data source that reads a file piece by piece as the library asks for more. A read error is
// kept and the library stopped; at the end of the file it supplies an end-of-image marker, as the
// library's own sources do.
struct FileSource {
  jpeg_source_mgr pub{};  // first, so the library's pointer to it is a pointer to the whole
  int fd = -1;
  const std::filesystem::path* path = nullptr;
  std::uint64_t offset = 0;
  std::exception_ptr readError;
  std::array<JOCTET, 4096> buffer{};

  // Reads the next piece into the buffer; its length, 0 at the end of the file. Throws the
  // file-open error.
  std::size_t readPiece() {
    const std::size_t n = readAt(fd, offset, buffer, *path);
    offset += n;
    pub.next_input_byte = buffer.data();
    pub.bytes_in_buffer = n;
    return n;
  }
};

void initFileSource(j_decompress_ptr) {}
void termFileSource(j_decompress_ptr) {}

boolean fillFromFile(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<FileSource*>(cinfo->src);
  std::size_t n = 0;
  try {
    n = src->readPiece();
  } catch (...) {
    src->readError = std::current_exception();
  }
  // Outside the handler: the library leaves by longjmp, which must not skip a C++ frame.
  if (src->readError) ERREXIT(cinfo, JERR_FILE_READ);
  if (n == 0) {
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    src->pub.bytes_in_buffer = 2;
  }
  return TRUE;
}

void skipInFile(j_decompress_ptr cinfo, long count) {
  jpeg_source_mgr* src = cinfo->src;
  while (count > static_cast<long>(src->bytes_in_buffer)) {
    count -= static_cast<long>(src->bytes_in_buffer);
    fillFromFile(cinfo);
  }
  if (count > 0) {
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<std::size_t>(count);
  }
}

int paddedRow(int width, int components) {
  return static_cast<int>((static_cast<long long>(width) * components + 3) / 4 * 4);
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
  FileSource source;
  source.fd = fd.get();
  source.path = &path;
  // The first piece is read here: an empty file is 0 × 0 without calling the library.
  if (source.readPiece() == 0) return {};
  source.pub.init_source = initFileSource;
  source.pub.fill_input_buffer = fillFromFile;
  source.pub.skip_input_data = skipInFile;
  source.pub.resync_to_restart = jpeg_resync_to_restart;
  source.pub.term_source = termFileSource;
  Session s;
  if (!readHeader(s, [&] { s.cinfo.src = &source.pub; })) {
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
  const bool started = guarded(s, [&] {
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
  picture.bytesPerLine = paddedRow(picture.width, indexed ? 1 : 4);
  if (indexed) {
    // The colour map lives in the library's image pool, which finishing releases: copy it now.
    const int colours = s.cinfo.actual_number_of_colors;
    picture.palette.reserve(static_cast<std::size_t>(colours));
    for (int i = 0; i < colours; ++i) {
      if (s.cinfo.out_color_components == 1) {
        const unsigned v = s.cinfo.colormap[0][i];
        picture.palette.push_back(Picture::opaqueRgb(v, v, v));
      } else {
        picture.palette.push_back(Picture::opaqueRgb(s.cinfo.colormap[0][i], s.cinfo.colormap[1][i],
                                                     s.cinfo.colormap[2][i]));
      }
    }
  }
  picture.pixels.assign(
      static_cast<std::size_t>(picture.bytesPerLine) * static_cast<std::size_t>(picture.height), 0);

  std::uint8_t* const base = picture.pixels.data();
  const std::size_t stride = static_cast<std::size_t>(picture.bytesPerLine);
  const bool finished = guarded(s, [&] {
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
      JSAMPROW row = base + stride * s.cinfo.output_scanline;
      jpeg_read_scanlines(&s.cinfo, &row, 1);
    }
    jpeg_finish_decompress(&s.cinfo);
  });
  if (!finished) throw JpegError(s.messageCode(), true);
  return picture;
}

}  // namespace wqt
