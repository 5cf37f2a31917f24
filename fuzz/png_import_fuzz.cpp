// The input is a RAW entry's width and height (two 16-bit words) followed by a PNG file offered
// for it: the import gives exactly the entry's RAW bytes, a refusal, or "PNG error: ...". The PNG
// reading session it goes through is the one the fitting road shares.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "files/png_picture.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const wqt::FileEntry entry = wqt::fuzz::entryFromWords("RAW", data);
  try {
    const wqt::ImportCandidate result =
        wqt::importPng(entry, std::span<const std::uint8_t>(data + 4, size - 4));
    if (result.stored() && result.bytes.size() != std::size_t{entry.width} * entry.height * 2) {
      std::abort();
    }
  } catch (const wqt::PngError&) {
  }
  return 0;
}
