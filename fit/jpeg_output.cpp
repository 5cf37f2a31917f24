#include "fit/jpeg_output.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "files/jpeg_decoder.h"

namespace wqt {

namespace {

struct ErrorManager {
  jpeg_error_mgr pub;  // first, so the library's pointer to it is a pointer to the whole
  std::jmp_buf jump;
};

[[noreturn]] void onFatalError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}
void onMessage(j_common_ptr, int) {}

struct Session {
  jpeg_compress_struct cinfo{};
  ErrorManager err{};
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  Session() {
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onFatalError;
    err.pub.emit_message = onMessage;
  }
  ~Session() {
    jpeg_destroy_compress(&cinfo);
    std::free(out);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
};

// The library's calls, with nothing owning resources: a failure leaves them by longjmp.
bool encode(Session& s, const RgbPicture& picture, int quality) {
  if (setjmp(s.err.jump) != 0) return false;
  jpeg_create_compress(&s.cinfo);
  jpeg_mem_dest(&s.cinfo, &s.out, &s.outSize);
  s.cinfo.image_width = static_cast<JDIMENSION>(picture.width);
  s.cinfo.image_height = static_cast<JDIMENSION>(picture.height);
  s.cinfo.input_components = 3;
  s.cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&s.cinfo);
  jpeg_set_quality(&s.cinfo, quality, TRUE);
  s.cinfo.optimize_coding = TRUE;
  jpeg_start_compress(&s.cinfo, TRUE);
  const std::size_t stride = std::size_t(picture.width) * 3;
  while (s.cinfo.next_scanline < s.cinfo.image_height) {
    // The library only reads the rows it is given.
    JSAMPROW row = const_cast<JSAMPLE*>(picture.rgb.data()) + stride * s.cinfo.next_scanline;
    jpeg_write_scanlines(&s.cinfo, &row, 1);
  }
  jpeg_finish_compress(&s.cinfo);
  return true;
}

}  // namespace

std::vector<std::uint8_t> encodeBaselineJpeg(const RgbPicture& picture, int quality) {
  Session s;
  if (!encode(s, picture, quality)) throw JpegError(s.err.pub.msg_code, true);
  return {s.out, s.out + s.outSize};
}

}  // namespace wqt
