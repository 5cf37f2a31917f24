// The input is a picture offered for fitting, of any format read, after one byte that picks the
// target (RAW, 1 to 61 pixels a side): it is read, bounded in size and memory, and fitted, or
// refused with a wqt::Error. Anything else escaping, or a picture of the wrong shape, is a finding.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fit/fit_picture.h"

// The AV1 decoder loses 40 bytes on a broken AVIF whose alpha item is empty: not ours to report,
// and bounded per file.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdav1d.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const wqt::FitTarget target{wqt::FileKind::Raw, 1 + (data[0] & 15) * 4, 1 + (data[0] >> 4) * 4};
  wqt::FitOptions options;
  options.mode = static_cast<wqt::FitMode>(data[0] % 3);
  try {
    const wqt::SourcePicture source =
        wqt::readSource(std::span<const std::uint8_t>(data + 1, size - 1), {target, {}});
    const wqt::Picture& p = source.pixels;
    if (p.width <= 0 || p.height <= 0 || source.width < p.width || source.height < p.height ||
        p.pixels.size() != std::size_t(p.bytesPerLine) * std::size_t(p.height)) {
      std::abort();
    }
    const wqt::FitResult result = wqt::fitPicture(source, target, options);
    if (result.refusal || result.bytes.size() != std::size_t(target.width * target.height * 2)) {
      std::abort();
    }
  } catch (const wqt::Error&) {
  }
  return 0;
}
