#include "ops/theme_thumbnail.h"

#include <algorithm>
#include <cmath>

#include "files/preview.h"
#include "fit/fit_options.h"
#include "fit/resample.h"
#include "fit/source_picture.h"

namespace wqt {

namespace {

// JPG or RAW, for an entry with a picture of some size.
std::optional<FileKind> pictureKind(const FileEntry& entry) {
  const auto target = fitTarget(entry);
  return target ? std::optional(target->kind) : std::nullopt;
}

// The picture's size once fitted inside size × size: never enlarged, never below one pixel.
std::pair<int, int> fittedSize(int width, int height, int size) {
  const double scale = std::min(1.0, static_cast<double>(size) / std::max(width, height));
  return {std::max(1, static_cast<int>(std::lround(width * scale))),
          std::max(1, static_cast<int>(std::lround(height * scale)))};
}

}  // namespace

std::optional<std::int32_t> thumbnailEntry(const ThemeMap& map, const ThemeFileSlots& file) {
  const std::size_t count = std::min(map.entries().size(), file.entryCount());
  for (const FileKind kind : {FileKind::Jpg, FileKind::Raw}) {
    for (std::size_t e = 0; e < count; ++e) {
      const auto entry = static_cast<std::int32_t>(e);
      if (pictureKind(*map.entry(entry)) == kind && file.entrySize(entry) != 0) return entry;
    }
  }
  return std::nullopt;
}

RgbPicture thumbnailPicture(const FileEntry& entry, std::span<const std::uint8_t> data, int size) {
  SourcePicture source;
  if (pictureKind(entry) == FileKind::Raw) {
    source.pixels = rawPreview(entry, data);
    source.width = source.pixels.width;
    source.height = source.pixels.height;
  } else {
    // The reader may reduce a large picture while decoding it, to what the square still needs.
    source = readSource(data, {FitTarget{FileKind::Jpg, size, size}, Rgb{}});
  }
  const auto [width, height] = fittedSize(source.width, source.height, size);
  // The size keeps the aspect already, to the pixel; stretching to it leaves no border column
  // that fitting inside would leave where the rounding falls short.
  FitOptions options;
  options.mode = FitMode::Stretch;
  return resamplePicture(source, FitTarget{FileKind::Jpg, width, height}, options);
}

}  // namespace wqt
