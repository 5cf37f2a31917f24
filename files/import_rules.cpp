#include "files/import_rules.h"

#include "files/file_kind.h"
#include "theme/theme_layout.h"

namespace wqt {

ImportCandidate importRefusal(const FileEntry& entry, const ImportSize& size,
                              const std::function<JpegSize()>& pictureSize) {
  if (!kindInfo(entry.kind)) return refusedImport(ImportRefusal::UnknownKind, kUnknownKindMessage);
  if (entry.kind == FileKind::Jpg) {
    const JpegSize picture = pictureSize();
    if (picture.width != entry.width || picture.height != entry.height) {
      return dimensionRefusal(entry, picture.width, picture.height);
    }
  } else if (size.reported != *expectedImportSize(entry)) {
    return refusedImport(ImportRefusal::WrongSize, kWrongSizeMessage);
  }
  if (size.reported > static_cast<std::int64_t>(kSlotCapacity) || size.actual > kSlotCapacity) {
    return refusedImport(ImportRefusal::TooLarge, kTooLargeMessage);
  }
  return {};
}

ImportCandidate importRefusal(const FileEntry& entry, std::span<const std::uint8_t> bytes) {
  const ImportSize size{static_cast<std::int64_t>(bytes.size()), bytes.size()};
  return importRefusal(entry, size, [&] { return readJpegSize(bytes); });
}

}  // namespace wqt
