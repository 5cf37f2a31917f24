// JPEG sources: libjpeg reads the file piece by piece from a ByteReader, decodes at the smallest
// DCT scale that keeps twice what the target needs, and hands rows to SourceRows.
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h: the library's message codes.
#include <jerror.h>

#include "files/jpeg_decoder.h"
#include "fit/colour_profile.h"
#include "fit/fit_geometry.h"
#include "fit/source_decoders.h"
#include "fit/source_rows.h"

namespace wqt {

namespace {

// What the library may allocate beyond our rows: the whole-picture coefficients of a progressive
// file. A file needing more is refused by the library ("JPEG error #N"), which keeps any
// accepted file within the memory bound.
constexpr long kLibraryMemoryLimit = 40L << 20;

struct ErrorManager {
  jpeg_error_mgr pub;  // first, so the library's pointer to it is a pointer to the whole
  std::jmp_buf jump;
};

[[noreturn]] void onFatalError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}
void onMessage(j_common_ptr, int) {}
void onOutputMessage(j_common_ptr) {}

void onProgress(j_common_ptr cinfo) {
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans) {
    ERREXIT(cinfo, JERR_BAD_SCAN_SCRIPT);
  }
}

// Feeds the library from a ByteReader. A read error is kept and the library stopped; at the end
// of the bytes an end-of-image marker is supplied, as the library's own sources do.
struct ReaderSource {
  jpeg_source_mgr pub{};  // first, so the library's pointer to it is a pointer to the whole
  ByteReader* reader = nullptr;
  std::exception_ptr readError;
  std::vector<JOCTET> buffer = std::vector<JOCTET>(16384);
};

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<ReaderSource*>(cinfo->src);
  std::size_t n = 0;
  try {
    n = src->reader->read(src->buffer);
  } catch (...) {
    src->readError = std::current_exception();
  }
  // Outside the handler: the library leaves by longjmp, which must not skip a C++ frame.
  if (src->readError) ERREXIT(cinfo, JERR_FILE_READ);
  if (n == 0) {
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    n = 2;
  }
  src->pub.next_input_byte = src->buffer.data();
  src->pub.bytes_in_buffer = n;
  return TRUE;
}

void skipData(j_decompress_ptr cinfo, long count) {
  jpeg_source_mgr* src = cinfo->src;
  while (count > static_cast<long>(src->bytes_in_buffer)) {
    count -= static_cast<long>(src->bytes_in_buffer);
    fillBuffer(cinfo);
  }
  if (count > 0) {
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<std::size_t>(count);
  }
}

struct Session {
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  jpeg_progress_mgr progress{};
  ReaderSource source;
  bool created = false;
  JOCTET* icc = nullptr;
  unsigned iccLength = 0;

  explicit Session(ByteReader& reader) {
    cinfo.err = jpeg_std_error(&err.pub);
    progress.progress_monitor = onProgress;
    err.pub.error_exit = onFatalError;
    err.pub.emit_message = onMessage;
    err.pub.output_message = onOutputMessage;
    source.reader = &reader;
    source.pub.init_source = initSource;
    source.pub.fill_input_buffer = fillBuffer;
    source.pub.skip_input_data = skipData;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = termSource;
  }
  ~Session() {
    std::free(icc);
    if (created) jpeg_destroy_decompress(&cinfo);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The library's failure as the error to throw: a read error of the file as itself.
  [[noreturn]] void fail(bool afterHeader) const {
    if (source.readError) std::rethrow_exception(source.readError);
    throw JpegError(err.pub.msg_code, afterHeader);
  }
};

// Runs library calls with the jump target set; false when the library failed. The steps must not
// own objects with destructors nor throw: a fatal error leaves them by longjmp.
template <typename Steps>
bool guarded(Session& s, Steps&& steps) {
  if (setjmp(s.err.jump) != 0) return false;
  steps();
  return true;
}

int orientationOf(j_decompress_ptr cinfo) {
  for (jpeg_saved_marker_ptr m = cinfo->marker_list; m != nullptr; m = m->next) {
    if (m->marker == JPEG_APP0 + 1) {
      const int value = exifOrientation({m->data, m->data_length});
      if (value != 1) return normalOrientation(value);
    }
  }
  return 1;
}

}  // namespace

SourcePicture decodeJpegSource(ByteReader& reader, const SourceRequest& request) {
  Session s(reader);
  const bool header = guarded(s, [&] {
    s.created = true;  // the object is zeroed, so destroying a half-created one is safe
    jpeg_create_decompress(&s.cinfo);
    s.cinfo.mem->max_memory_to_use = kLibraryMemoryLimit;
    s.cinfo.progress = &s.progress;
    s.cinfo.src = &s.source.pub;
    jpeg_save_markers(&s.cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&s.cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&s.cinfo, TRUE);
  });
  if (!header) s.fail(false);
  const int width = static_cast<int>(s.cinfo.image_width);
  const int height = static_cast<int>(s.cinfo.image_height);
  if (std::uint64_t(width) * std::uint64_t(height) > kMaxSourcePixels) {
    throw SourceError(kPictureTooLargeMessage);
  }

  const int orientation = orientationOf(&s.cinfo);
  const bool swap = swapsAxes(orientation);
  const double minScale =
      minimumReadScale(swap ? height : width, swap ? width : height, request.target);
  if (!guarded(s, [&] { jpeg_read_icc_profile(&s.cinfo, &s.icc, &s.iccLength); })) s.fail(true);

  using Layout = ColourTransform::Layout;
  const J_COLOR_SPACE stored = s.cinfo.jpeg_color_space;
  const bool cmyk = stored == JCS_CMYK || stored == JCS_YCCK;
  const bool grey = stored == JCS_GRAYSCALE;
  const bool inverted = cmyk && s.cinfo.saw_Adobe_marker;
  const Layout layout = cmyk   ? (inverted ? Layout::InvertedCmyk : Layout::Cmyk)
                        : grey ? Layout::Grey
                               : Layout::Rgb;
  const ColourTransform profile = ColourTransform::fromProfile({s.icc, s.iccLength}, layout);
  // The library gives R, G, B, A itself unless a profile or CMYK needs the samples as stored.
  const J_COLOR_SPACE out = cmyk       ? JCS_CMYK
                            : !profile ? JCS_EXT_RGBA
                            : grey     ? JCS_GRAYSCALE
                                       : JCS_RGB;

  // The smallest scale of n/8 at or above the minimum, made smaller while over the budget.
  int scale = std::clamp(static_cast<int>(std::ceil(minScale * 8 - 1e-9)), 1, 8);
  const bool started = guarded(s, [&] {
    s.cinfo.out_color_space = out;
    s.cinfo.scale_denom = 8;
    for (;;) {
      s.cinfo.scale_num = static_cast<unsigned>(scale);
      jpeg_calc_output_dimensions(&s.cinfo);
      if (scale == 1 ||
          std::uint64_t{s.cinfo.output_width} * s.cinfo.output_height <= kSourcePixelBudget) {
        break;
      }
      --scale;
    }
    jpeg_start_decompress(&s.cinfo);
  });
  if (!started) s.fail(true);

  const int outWidth = static_cast<int>(s.cinfo.output_width);
  const int outHeight = static_cast<int>(s.cinfo.output_height);
  const int factor = reductionFactor(outWidth, outHeight, std::min(1.0, minScale * 8 / scale));
  SourceRows rows(outWidth, outHeight, factor, orientation, request.background);
  std::vector<JSAMPLE> samples(std::size_t(outWidth) * std::size_t(s.cinfo.output_components));
  std::vector<std::uint8_t> rgba(out == JCS_EXT_RGBA ? 0 : std::size_t(outWidth) * 4);
  JSAMPROW row = samples.data();
  for (int y = 0; y < outHeight; ++y) {
    if (!guarded(s, [&] { jpeg_read_scanlines(&s.cinfo, &row, 1); })) s.fail(true);
    if (out == JCS_EXT_RGBA) {
      rows.push(samples.data());
      continue;
    }
    if (profile) {
      profile.toRgba(samples.data(), rgba.data(), outWidth);
    } else {
      cmykToRgba(samples.data(), rgba.data(), outWidth, inverted);
    }
    rows.push(rgba.data());
  }
  if (!guarded(s, [&] { jpeg_finish_decompress(&s.cinfo); })) s.fail(true);
  return {rows.finish(), swap ? height : width, swap ? width : height};
}

}  // namespace wqt
