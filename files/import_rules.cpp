#include "files/import_rules.h"

#include "files/file_kind.h"
#include "files/import_export.h"
#include "files/jpeg_decoder.h"
#include "theme/theme_layout.h"

namespace wqt {

std::optional<std::string> importRefusal(const FileEntry& entry,
                                         std::span<const std::uint8_t> bytes) {
  const auto info = kindInfo(entry.kind);
  if (!info) return kUnknownKindMessage;
  const auto size = static_cast<std::int64_t>(bytes.size());
  if (info->kind == FileKind::Jpg) {
    const JpegSize picture = readJpegSize(bytes);
    if (picture.width != entry.width || picture.height != entry.height) {
      return dimensionMessage(picture.width, picture.height, entry.width, entry.height);
    }
  } else if (size != *expectedImportSize(entry)) {
    return kWrongSizeMessage;
  }
  if (size > static_cast<std::int64_t>(kSlotCapacity)) return kTooLargeMessage;
  return std::nullopt;
}

}  // namespace wqt
