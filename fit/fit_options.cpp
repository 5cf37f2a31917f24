#include "fit/fit_options.h"

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

}  // namespace wqt
