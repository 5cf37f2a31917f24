#include "ops/entry_preview.h"

namespace wqt {

bool hasPreview(const FileEntry& entry) {
  return entry.kind == EntryKind::Jpg || entry.kind == EntryKind::Raw;
}

Picture entryPreview(const FileEntry& entry, std::span<const std::uint8_t> data,
                     const std::filesystem::path& scratchFile, bool lowColour) {
  return entry.kind == EntryKind::Jpg ? jpegPreview(data, scratchFile, lowColour)
                                      : rawPreview(entry, data);
}

JpegSize previewSize(const FileEntry& entry, std::span<const std::uint8_t> data) {
  return entry.kind == EntryKind::Jpg ? readJpegSize(data) : JpegSize{entry.width, entry.height};
}

std::vector<std::uint8_t> editableFile(const FileEntry& entry, std::span<const std::uint8_t> data) {
  return entry.kind == EntryKind::Jpg ? std::vector<std::uint8_t>(data.begin(), data.end())
                                      : rawToPng(entry, data);
}

std::optional<JpegSize> completePicture(EntryKind kind, std::span<const std::uint8_t> bytes) {
  try {
    if (kind == EntryKind::Jpg) {
      if (bytes.empty() || jpegCorruption(bytes)) return std::nullopt;
      return readJpegSize(bytes);
    }
    const RgbPicture picture = decodePng(bytes, kMaxPreviewPixels);
    if (picture.rgb.empty()) return std::nullopt;
    return JpegSize{picture.width, picture.height};
  } catch (const Error&) {
    return std::nullopt;
  }
}

}  // namespace wqt
