#include "files/import_rules.h"

#include "files/file_kind.h"
#include "files/import_export.h"
#include "theme/theme_layout.h"

namespace wqt {

std::optional<std::string> importRefusal(const FileEntry& entry, const ImportSize& size,
                                         const std::function<JpegSize()>& pictureSize) {
  const auto info = kindInfo(entry.kind);
  if (!info) return kUnknownKindMessage;
  if (info->kind == FileKind::Jpg) {
    const JpegSize picture = pictureSize();
    if (picture.width != entry.width || picture.height != entry.height) {
      return dimensionMessage(picture.width, picture.height, entry.width, entry.height);
    }
  } else if (size.reported != *expectedImportSize(entry)) {
    return kWrongSizeMessage;
  }
  if (size.reported > static_cast<std::int64_t>(kSlotCapacity) || size.actual > kSlotCapacity) {
    return kTooLargeMessage;
  }
  return std::nullopt;
}

std::optional<std::string> importRefusal(const FileEntry& entry,
                                         std::span<const std::uint8_t> bytes) {
  const ImportSize size{static_cast<std::int64_t>(bytes.size()), bytes.size()};
  return importRefusal(entry, size, [&] { return readJpegSize(bytes); });
}

}  // namespace wqt
