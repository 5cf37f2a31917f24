#pragma once
// The pieces every use of libjpeg here shares: an error manager whose fatal errors jump back to
// the guarded call (no C++ exception may cross the library's frames) and a data source fed by any
// reading function.
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <span>
#include <vector>

// After cstdio and cstddef: jpeglib.h needs FILE and size_t.
#include <jpeglib.h>

namespace wqt {

struct JpegErrorManager {
  jpeg_error_mgr pub;  // first, so the library's pointer to it is a pointer to the whole
  std::jmp_buf jump;
};

// The library's standard manager with fatal errors jumping to the guarded call and warnings and
// trace messages ignored; returns what the object's err field takes.
jpeg_error_mgr* jpegErrorManager(JpegErrorManager& manager);

// Runs library calls with the jump target set; false when the library failed. The steps must not
// own objects with destructors nor throw: a fatal error leaves them by longjmp.
template <typename Steps>
bool jpegGuarded(JpegErrorManager& manager, Steps&& steps) {
  if (setjmp(manager.jump) != 0) return false;
  steps();
  return true;
}

// A data source that asks `read` for the next piece as the library needs more (read fills the
// span as far as it can and returns how much, 0 at the end). A read error is kept and the library
// stopped; at the end an end-of-image marker is supplied, as the library's own sources do.
struct JpegReaderSource {
  jpeg_source_mgr pub{};  // first, so the library's pointer to it is a pointer to the whole
  std::function<std::size_t(std::span<std::uint8_t>)> read;
  std::exception_ptr readError;
  std::vector<JOCTET> buffer = std::vector<JOCTET>(16384);
};

void useJpegReaderSource(j_decompress_ptr cinfo, JpegReaderSource& source);

}  // namespace wqt
