#include "ui/PngImport.h"

#include "files/png_picture.h"

namespace wqtui {

wqt::ImportCandidate checkPngImport(const wqt::FileEntry& entry,
                                    const std::filesystem::path& chosen) {
  return wqt::checkPngImport(entry, chosen);
}

}  // namespace wqtui
