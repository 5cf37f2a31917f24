#include "files/jpeg_library.h"

// After jpeglib.h: the library's message codes.
#include <jerror.h>

namespace wqt {

namespace {

[[noreturn]] void onFatalError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

boolean fillBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<JpegReaderSource*>(cinfo->src);
  std::size_t n = 0;
  try {
    n = src->read(src->buffer);
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

}  // namespace

jpeg_error_mgr* jpegErrorManager(JpegErrorManager& manager) {
  jpeg_error_mgr* pub = jpeg_std_error(&manager.pub);
  pub->error_exit = onFatalError;
  pub->emit_message = [](j_common_ptr, int) {};
  pub->output_message = [](j_common_ptr) {};
  return pub;
}

void useJpegReaderSource(j_decompress_ptr cinfo, JpegReaderSource& source) {
  source.pub.init_source = [](j_decompress_ptr) {};
  source.pub.fill_input_buffer = fillBuffer;
  source.pub.skip_input_data = skipData;
  source.pub.resync_to_restart = jpeg_resync_to_restart;
  source.pub.term_source = [](j_decompress_ptr) {};
  source.pub.bytes_in_buffer = 0;
  cinfo->src = &source.pub;
}

}  // namespace wqt
