// The seed corpus of the fitting fuzz target: make_fit_seeds <folder>. Each seed is one target
// byte and a picture: JPEGs baseline, progressive, CMYK, turned by EXIF and with an ICC profile;
// PNGs of each colour type, 16-bit, with alpha and interlaced; WebP lossy and lossless, GIFs
// with a transparent colour and interlaced, BMPs both ways up, TIFFs of 16 bits with alpha and
// turned, a HEIC and an AVIF with alpha (where libheif has the encoders).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/core/fit_test_util.h"
#include "tests/core/picture_formats_util.h"

// x265 keeps two small buffers of its own for the life of the process: not ours to report.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libx265.so\n";
}

namespace {

namespace fs = std::filesystem;
using wqt::test::Bytes;

void put(const fs::path& dir, const std::string& name, const Bytes& picture) {
  fs::create_directories(dir);
  std::ofstream out(dir / name, std::ios::binary);
  const char target = 0x33;  // 13 × 13
  out.write(&target, 1);
  out.write(reinterpret_cast<const char*>(picture.data()), std::streamsize(picture.size()));
}

wqt::test::PngRecipe png(int type, int depth, bool interlaced = false) {
  wqt::test::PngRecipe r;
  r.width = 9;
  r.height = 7;
  r.colourType = type;
  r.bitDepth = depth;
  r.interlaced = interlaced;
  r.pixel = [depth](int x, int y) {
    const unsigned v = unsigned(x * 31 + y * 17) % (1u << std::min(depth, 8));
    return std::vector<unsigned>{v, v / 2, v / 3, 200};
  };
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fit_seeds <corpus folder>\n");
    return 2;
  }
  const fs::path dir = argv[1];
  using namespace wqt::test;
  put(dir, "baseline.jpg", quadrantJpeg(32, 16));
  put(dir, "progressive.jpg", quadrantJpeg(16, 32, true));
  const Bytes cmyk(8 * 8 * 4, 100);
  put(dir, "cmyk.jpg", wqt::gen::encodeJpeg(cmyk, 8, 8, 4, JCS_CMYK, 80));
  put(dir, "exif6.jpg", withSegment(quadrantJpeg(16, 16), 0xE1, exifOrientation(6)));
  put(dir, "icc.jpg", withSegment(quadrantJpeg(16, 16), 0xE2, iccSegment(linearProfile(false))));
  put(dir, "grey1.png", encodePng(png(PNG_COLOR_TYPE_GRAY, 1)));
  put(dir, "grey16.png", encodePng(png(PNG_COLOR_TYPE_GRAY, 16)));
  put(dir, "greyalpha.png", encodePng(png(PNG_COLOR_TYPE_GRAY_ALPHA, 8)));
  put(dir, "rgb16.png", encodePng(png(PNG_COLOR_TYPE_RGB, 16)));
  put(dir, "rgba_interlaced.png", encodePng(png(PNG_COLOR_TYPE_RGBA, 8, true)));
  PngRecipe palette = png(PNG_COLOR_TYPE_PALETTE, 4);
  palette.palette.assign(16, png_color{10, 200, 30});
  palette.transparency = {0, 128};
  put(dir, "palette.png", encodePng(palette));
  PngRecipe iccGrey = png(PNG_COLOR_TYPE_GRAY, 8);
  iccGrey.icc = linearProfile(true);
  put(dir, "icc_grey.png", encodePng(iccGrey));
  const Rgba gradient = [](int x, int y) {
    return std::array<std::uint8_t, 4>{std::uint8_t(x * 28), std::uint8_t(y * 36), 90,
                                       std::uint8_t(100 + x * 10)};
  };
  put(dir, "lossy.webp", encodeWebp(9, 7, gradient, false));
  put(dir, "lossless.webp", encodeWebp(9, 7, gradient, true));
  const std::vector<GifColorType> colours = {{255, 0, 0}, {0, 90, 200}, {30, 30, 30}};
  const auto index = [](int x, int y) { return (x + y) % 3; };
  put(dir, "transparent.gif", encodeGif(9, 7, colours, index, 1));
  put(dir, "interlaced.gif", encodeGif(9, 11, colours, index, -1, true));
  put(dir, "bottom_up.bmp", encodeBmp32(9, 7, gradient, false));
  put(dir, "top_down.bmp", encodeBmp32(9, 7, gradient, true));
  put(dir, "alpha16.tif", encodeTiff(9, 7, gradient, 16, true));
  put(dir, "turned.tif", encodeTiff(9, 7, gradient, 8, false, 6));
  for (const bool avif : {false, true}) {
    const Bytes heif = encodeHeif(9, 7, gradient, avif);
    if (!heif.empty()) put(dir, avif ? "alpha.avif" : "alpha.heic", heif);
  }
  // Opaque tiles: a tile's file then holds one coded picture.
  const Bytes tile = encodeHeif(
      8, 8,
      [](int x, int y) {
        return std::array<std::uint8_t, 4>{std::uint8_t(x * 28), std::uint8_t(y * 36), 90, 255};
      },
      false);
  if (!tile.empty()) put(dir, "grid.heic", heifGrid({tile, tile}, 2, 8, 12, 7));
  return 0;
}
