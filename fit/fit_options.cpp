#include "fit/fit_options.h"

#include "files/jpeg_decoder.h"
#include "theme/theme_layout.h"

namespace wqt {

void applyGravity(FitOptions& options, Gravity gravity) {
  options.cropX = gravity == Gravity::Left ? 0.0 : gravity == Gravity::Right ? 1.0 : 0.5;
  options.cropY = gravity == Gravity::Top ? 0.0 : gravity == Gravity::Bottom ? 1.0 : 0.5;
}

std::optional<FitTarget> fitTarget(const FileEntry& entry) {
  if (entry.kind != FileKind::Jpg && entry.kind != FileKind::Raw) return std::nullopt;
  if (entry.width == 0 || entry.height == 0) return std::nullopt;
  return FitTarget{entry.kind, entry.width, entry.height};
}

bool slotCanHold(const FitTarget& target) {
  const auto width = static_cast<std::uint64_t>(target.width);
  const auto height = static_cast<std::uint64_t>(target.height);
  if (target.kind == FileKind::Raw) return width * height * 2 <= kSlotCapacity;
  // Each 16 × 16 unit has four luma and two chroma blocks of at least two bits each.
  const std::uint64_t units = (width + 15) / 16 * ((height + 15) / 16);
  return width * height <= kMaxPreviewPixels && units * 12 / 8 <= kSlotCapacity;
}

}  // namespace wqt
