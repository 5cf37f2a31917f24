// The input is an entry's width and height (two 16-bit words) followed by a RAW slot: the preview
// gives exactly width × height pixels or "Stream read error" when the slot is short.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/core_error.h"
#include "files/preview.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const wqt::FileEntry entry = wqt::fuzz::entryFromWords("RAW", data);
  const std::span<const std::uint8_t> slot(data + 4, size - 4);
  try {
    const wqt::Picture p = wqt::rawPreview(entry, slot);
    if (p.width != entry.width || p.height != entry.height) std::abort();
    if (slot.size() < std::size_t{entry.width} * entry.height * 2) std::abort();
  } catch (const wqt::Error&) {
    if (slot.size() >= std::size_t{entry.width} * entry.height * 2) std::abort();
  }
  return 0;
}
