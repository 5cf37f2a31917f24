#include "files/file_kind.h"

#include <array>

namespace wqt {

namespace {

constexpr std::array<KindInfo, 4> kKinds{{
    {FileKind::Jpg, "JPEG-изображение (.jpg, .jpeg)|*.jpg;*.jpeg", ".jpg"},
    {FileKind::Raw, "RAW-изображение (.raw)|*.raw", ".raw"},
    {FileKind::Ani2, "ANI2-изображение (c) Dravik (.ani2)|*.ani2", ".ani2"},
    {FileKind::ColourTable, "Файл таблицы цветов (.tab)|*.tab", ".tab"},
}};

}  // namespace

std::optional<KindInfo> kindInfo(EntryKind kind) {
  for (const KindInfo& info : kKinds)
    if (info.kind == kind) return info;
  return std::nullopt;
}

std::optional<std::int64_t> expectedImportSize(const FileEntry& entry) {
  // Computed in 64 bits: width × height × 3 + 8 of two 16-bit values does not fit 32 bits, and a
  // wrapped product could match a small file that the previews would then read past.
  const std::int64_t w = entry.width;
  const std::int64_t h = entry.height;
  switch (entry.kind) {
    case FileKind::Raw:
      return w * h * 2;
    case FileKind::Ani2:
      return w * h * 3 + 8;
    case FileKind::ColourTable:
      return std::int64_t{entry.expectedSize};
    case FileKind::Jpg:
    case FileKind::Other:
      break;
  }
  return std::nullopt;
}

std::string importSizeFormula(const FileEntry& entry) {
  const std::string area = std::to_string(entry.width) + " × " + std::to_string(entry.height);
  if (entry.kind == FileKind::Raw) return area + " × 2";
  if (entry.kind == FileKind::Ani2) return area + " × 3 + 8";
  return {};
}

}  // namespace wqt
