// The input is a file chosen for a JPG entry: reading its header gives a size or "JPEG error #N".
#include <cstdint>
#include <cstdlib>
#include <span>

#include "files/jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const wqt::JpegSize s = wqt::readJpegSize(std::span<const std::uint8_t>(data, size));
    if (s.width < 0 || s.height < 0) std::abort();
  } catch (const wqt::JpegError& e) {
    if (e.code() < 0) std::abort();
  }
  return 0;
}
