// Builds the sample theme for a map: every embedded file drawn in code (JPEG pictures encoded
// as fitted pictures are, RAW pictures as RGB565, ANI2 and colour tables as plain bytes), the
// header filled in, written as one theme file. Usage: make-sample-theme <theme.rxt> <output.wqt>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iostream>
#include <vector>

#include "base/codepage.h"
#include "base/file_io.h"
#include "files/file_kind.h"
#include "files/png_picture.h"
#include "fit/jpeg_output.h"
#include "map/theme_map.h"
#include "theme/theme_document.h"

namespace {

struct Rgb {
  double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// A colour of the theme's palette, one hue per file so neighbours differ.
Rgb hue(double h) {
  const auto channel = [h](double phase) {
    return (0.5 + 0.5 * std::cos(6.2832 * (h + phase))) * 255;
  };
  return {channel(0.0), channel(0.33), channel(0.67)};
}

// The picture of file `index`: a diagonal gradient with soft rings around a centre point,
// and a rounded frame on small pictures (icons).
Rgb pixel(int index, int x, int y, int w, int h) {
  const double u = (x + 0.5) / w, v = (y + 0.5) / h;
  const Rgb top = hue(index * 0.13), bottom = mix(hue(index * 0.13 + 0.4), {10, 12, 24}, 0.6);
  Rgb c = mix(top, bottom, 0.5 * (u * 0.4 + v * 1.2));
  const double cx = 0.5 + 0.25 * std::sin(index * 1.7), cy = 0.35 + 0.1 * std::cos(index * 0.9);
  const double d = std::hypot((u - cx) * w, (v - cy) * h) / std::min(w, h);
  const double ring = 0.5 + 0.5 * std::cos(d * 28.0);
  c = mix(c, {255, 255, 255}, 0.18 * ring * std::exp(-d * 2.5));
  if (w <= 64 && h <= 64) {
    const double ex = std::min(u, 1 - u) * w, ey = std::min(v, 1 - v) * h;
    if (std::min(ex, ey) < 3) c = mix(c, {255, 255, 255}, 0.7);
  }
  return c;
}

std::uint8_t clampByte(double v) {
  return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
}

std::vector<std::uint8_t> rgbPixels(int index, int w, int h) {
  std::vector<std::uint8_t> rgb;
  rgb.reserve(static_cast<std::size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Rgb c = pixel(index, x, y, w, h);
      for (const double channel : {c.r, c.g, c.b}) rgb.push_back(clampByte(channel));
    }
  }
  return rgb;
}

// An animation the editor stores without interpreting: an 8-byte head, then RGB pixels.
std::vector<std::uint8_t> makeAni2(int index, int w, int h) {
  std::vector<std::uint8_t> bytes{'A', 'N', 'I', '2'};
  for (const int size : {w, h}) {
    bytes.push_back(static_cast<std::uint8_t>(size & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(size >> 8));
  }
  for (const std::uint8_t b : rgbPixels(index, w, h)) bytes.push_back(b);
  return bytes;
}

// A colour table: RGB565 words along the file's hue.
std::vector<std::uint8_t> makeColourTable(int index, int size) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; bytes.size() < static_cast<std::size_t>(size); ++i) {
    const Rgb c = hue(index * 0.13 + i * 0.03);
    const auto word = wqt::rgbToRaw({1, 1, {clampByte(c.r), clampByte(c.g), clampByte(c.b)}});
    bytes.insert(bytes.end(), word.begin(), word.end());
  }
  bytes.resize(static_cast<std::size_t>(size));
  return bytes;
}

std::vector<std::uint8_t> makeFile(const wqt::FileEntry& entry, int index) {
  switch (entry.kind) {
    case wqt::FileKind::Jpg:
      return wqt::encodeBaselineJpeg(
          {entry.width, entry.height, rgbPixels(index, entry.width, entry.height)}, 90);
    case wqt::FileKind::Raw:
      return wqt::rgbToRaw(
          {entry.width, entry.height, rgbPixels(index, entry.width, entry.height)});
    case wqt::FileKind::Ani2:
      return makeAni2(index, entry.width, entry.height);
    case wqt::FileKind::ColourTable:
      return makeColourTable(index, entry.expectedSize);
    case wqt::FileKind::Other:
      break;
  }
  return {std::uint8_t{0}};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make-sample-theme <theme.rxt> <output.wqt>\n";
    return 2;
  }
  try {
    wqt::ThemeMap map;
    if (map.load(argv[1]) != wqt::ThemeMap::LoadResult::Loaded) {
      std::cerr << "map not found: " << argv[1] << '\n';
      return 1;
    }
    wqt::ThemeDocument doc;
    doc.create(map.settings());
    doc.setHeaderField(wqt::kAuthorField, wqt::utf8ToCp1251("Команда Orvalen"));
    doc.setHeaderField(wqt::kNameField, wqt::utf8ToCp1251("Пример темы"));
    const std::size_t count = std::min<std::size_t>(map.settings().fileCount, map.entries().size());
    for (std::size_t e = 0; e < count; ++e)
      doc.replaceSlot(e + 1, makeFile(map.entries()[e], static_cast<int>(e)));
    wqt::writeFileReplacing(argv[2], doc.rebuildForSave(map.settings()));
  } catch (const std::exception& e) {
    std::cerr << "make-sample-theme: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
