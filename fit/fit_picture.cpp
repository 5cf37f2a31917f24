#include "fit/fit_picture.h"

#include <algorithm>

#include "files/import_rules.h"
#include "fit/jpeg_output.h"
#include "fit/rgb565_dither.h"
#include "theme/theme_layout.h"

namespace wqt {

namespace {

FileEntry entryOf(const FitTarget& target) {
  FileEntry entry;
  entry.kind = target.kind;
  entry.kindName = target.kind == FileKind::Jpg ? "JPG" : "RAW";
  entry.width = static_cast<std::uint16_t>(target.width);
  entry.height = static_cast<std::uint16_t>(target.height);
  return entry;
}

RgbPicture rgbOf(const Picture& picture) {
  RgbPicture out{picture.width, picture.height, {}};
  out.rgb.resize(std::size_t(picture.width) * std::size_t(picture.height) * 3);
  std::uint8_t* o = out.rgb.data();
  for (int y = 0; y < picture.height; ++y) {
    const std::uint8_t* row =
        picture.pixels.data() + std::size_t(y) * std::size_t(picture.bytesPerLine);
    for (int x = 0; x < picture.width; ++x, o += 3) {
      std::uint32_t word = 0;
      std::copy_n(row + std::size_t(x) * 4, 4, reinterpret_cast<std::uint8_t*>(&word));
      o[0] = static_cast<std::uint8_t>(word >> 16);
      o[1] = static_cast<std::uint8_t>(word >> 8);
      o[2] = static_cast<std::uint8_t>(word);
    }
  }
  return out;
}

FitResult storeJpeg(const RgbPicture& fitted, const FileEntry& entry,
                    const std::optional<int>& quality) {
  FitResult result;
  if (quality) {
    result.quality = std::clamp(*quality, 1, 100);
    result.bytes = encodeBaselineJpeg(fitted, result.quality);
  } else {
    // Most pictures fit at the top quality; others take the highest that fits.
    result.quality = kMaxAutoQuality;
    result.bytes = encodeBaselineJpeg(fitted, result.quality);
    if (result.bytes.size() > kSlotCapacity) {
      int low = 1, high = kMaxAutoQuality - 1, found = 0;
      std::vector<std::uint8_t> best;
      while (low <= high) {
        const int mid = (low + high) / 2;
        std::vector<std::uint8_t> bytes = encodeBaselineJpeg(fitted, mid);
        if (bytes.size() <= kSlotCapacity) {
          best = std::move(bytes);
          found = mid;
          low = mid + 1;
        } else {
          high = mid - 1;
        }
      }
      // Nothing fits: the smallest file goes to the checks, which refuse it as too large.
      result.quality = found != 0 ? found : 1;
      result.bytes = found != 0 ? std::move(best) : encodeBaselineJpeg(fitted, 1);
    }
  }
  if (const ImportOutcome checked = importRefusal(entry, result.bytes); !checked.stored())
    result.refusal = checked.message;
  result.stored = rgbOf(decodeJpeg(result.bytes));
  return result;
}

}  // namespace

FitResult storePicture(const RgbPicture& fitted, const FitTarget& target,
                       const FitOptions& options) {
  const FileEntry entry = entryOf(target);
  if (target.kind == FileKind::Jpg) return storeJpeg(fitted, entry, options.quality);
  FitResult result;
  result.bytes = ditherToRgb565(fitted, options.dither);
  result.stored = rawToRgb(entry, result.bytes);
  if (const ImportOutcome checked = importRefusal(entry, result.bytes); !checked.stored())
    result.refusal = checked.message;
  return result;
}

FitResult fitPicture(const SourcePicture& source, const FitTarget& target,
                     const FitOptions& options) {
  return storePicture(resamplePicture(source, target, options), target, options);
}

}  // namespace wqt
