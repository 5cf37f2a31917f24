#include "fit/jpeg_output.h"

#include <cstdlib>

#include "files/jpeg_decoder.h"
#include "files/jpeg_library.h"

namespace wqt {

namespace {

struct Session {
  jpeg_compress_struct cinfo{};
  JpegErrorManager err{};
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  Session() { cinfo.err = jpegErrorManager(err); }
  ~Session() {
    jpeg_destroy_compress(&cinfo);
    std::free(out);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
};

// The library's calls, with nothing owning resources: a failure leaves them by longjmp.
bool encode(Session& s, const RgbPicture& picture, int quality) {
  return jpegGuarded(s.err, [&] {
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
  });
}

}  // namespace

std::vector<std::uint8_t> encodeBaselineJpeg(const RgbPicture& picture, int quality) {
  Session s;
  if (!encode(s, picture, quality)) throw JpegError(s.err.pub.msg_code, true);
  return {s.out, s.out + s.outSize};
}

}  // namespace wqt
