// The input is a JPG slot: the preview decodes it whole or fails with "JPEG error #N". The last
// byte picks the low-colour screen road (quantized to at most 236 colours). A slot within the
// preview's size is also verified as the theme check does (the check sees only pictures of their
// entry's size).
#include <cstdint>
#include <cstdlib>
#include <span>

#include "files/jpeg_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> slot(data, size);
  const bool quantize = size > 0 && (data[size - 1] & 1) != 0;
  try {
    const wqt::Picture p = wqt::decodeJpeg(slot, quantize);
    const std::size_t need =
        static_cast<std::size_t>(p.bytesPerLine) * static_cast<std::size_t>(p.height);
    if (p.width < 0 || p.height < 0 || p.pixels.size() != need) std::abort();
    if (p.format == wqt::Picture::Format::Indexed8 && p.palette.size() > 256) std::abort();
  } catch (const wqt::JpegError&) {
  }
  try {
    const wqt::JpegSize header = wqt::readJpegSize(slot);
    if (static_cast<std::uint64_t>(header.width) * static_cast<std::uint64_t>(header.height) <=
        wqt::kMaxPreviewPixels) {
      (void)wqt::jpegCorruption(slot);
    }
  } catch (const wqt::JpegError&) {
  }
  return 0;
}
