#include "ui/PngImport.h"

#include <cstdint>
#include <vector>

#include "files/png_picture.h"
#include "theme/file_io.h"

namespace wqtui {

wqt::ImportCandidate checkPngImport(const wqt::FileEntry& entry,
                                    const std::filesystem::path& chosen) {
  // One byte past the limit tells a file that is too large from one that just fits.
  const std::vector<std::uint8_t> bytes = wqt::readWholeFile(chosen, wqt::kPngFileLimit + 1);
  if (bytes.size() > wqt::kPngFileLimit) return {wqt::kTooLargeMessage, {}};
  try {
    // No pixels allowed: the header's dimensions alone, before anything is decoded.
    const wqt::RgbPicture header = wqt::decodePng(bytes, 0);
    if (header.width != entry.width || header.height != entry.height) {
      return {wqt::dimensionMessage(header.width, header.height, entry.width, entry.height), {}};
    }
    return wqt::importPng(entry, bytes);
  } catch (const wqt::PngError&) {
    return {kNotPngMessage, {}};
  }
}

}  // namespace wqtui
