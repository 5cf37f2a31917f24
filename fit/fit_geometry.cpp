#include "fit/fit_geometry.h"

#include <algorithm>
#include <cmath>

namespace wqt {

Placement placePicture(int width, int height, const FitTarget& target, const FitOptions& options) {
  const double w = width, h = height, tw = target.width, th = target.height;
  Placement p;
  p.width = target.width;
  p.height = target.height;
  p.source = {0, 0, w, h};
  switch (options.mode) {
    case FitMode::Crop: {
      const double scale = std::max(tw / w, th / h);
      p.source.width = std::min(w, tw / scale);
      p.source.height = std::min(h, th / scale);
      p.source.x = std::clamp(options.cropX, 0.0, 1.0) * (w - p.source.width);
      p.source.y = std::clamp(options.cropY, 0.0, 1.0) * (h - p.source.height);
      break;
    }
    case FitMode::Inside: {
      const double scale = std::min(tw / w, th / h);
      p.width = std::clamp(static_cast<int>(std::lround(w * scale)), 1, target.width);
      p.height = std::clamp(static_cast<int>(std::lround(h * scale)), 1, target.height);
      p.x = (target.width - p.width) / 2;
      p.y = (target.height - p.height) / 2;
      break;
    }
    case FitMode::Stretch:
      break;
  }
  return p;
}

double minimumReadScale(int width, int height, const FitTarget& target) {
  const double cover = std::max(double(target.width) / width, double(target.height) / height);
  return std::min(1.0, 2 * cover);
}

}  // namespace wqt
