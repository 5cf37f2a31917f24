// Reading pictures to fit: every source form the reader takes, as one table of sources and what
// the upright, opaque picture must show.
#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include <string>

#include "error_of.h"
#include "files/jpeg_decoder.h"
#include "fit/source_decoders.h"
#include "fit/source_picture.h"
#include "fit_test_util.h"
#include "jpeg_test_util.h"
#include "picture_formats_util.h"

// x265 keeps two small buffers of its own for the life of the process: not ours to report.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libx265.so\n";
}

namespace wqt {
namespace {

using test::Bytes;

struct Colour {
  int r, g, b;
};

Colour at(const SourcePicture& s, double fx, double fy) {
  const Picture& p = s.pixels;
  const int x = std::min(p.width - 1, int(fx * p.width)),
            y = std::min(p.height - 1, int(fy * p.height));
  std::uint32_t word = 0;
  std::memcpy(&word, &p.pixels[std::size_t(y) * std::size_t(p.bytesPerLine) + std::size_t(x) * 4],
              4);
  return {int(word >> 16 & 0xFF), int(word >> 8 & 0xFF), int(word & 0xFF)};
}

constexpr Colour kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

struct SourceCase {
  std::string name;
  std::function<Bytes()> bytes;
  int width, height;         // the upright full size
  Colour topLeft, topRight;  // near the corners
  int tolerance = 6;
};

Bytes solidJpeg(test::JpegColour colour, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
  test::JpegRecipe r;
  r.width = 32;
  r.height = 32;
  r.colour = colour;
  r.fill = test::JpegFill::Solid;
  r.r = a, r.g = b, r.b = c;
  r.quality = 98;
  return test::encodeJpeg(r);
}

// Stored as the usual editors store CMYK, 255 for no ink: magenta ink only.
Bytes cmykMagenta() {
  Bytes samples;
  for (int i = 0; i < 16 * 16; ++i) samples.insert(samples.end(), {255, 0, 255, 255});
  return samples;
}

test::PngRecipe png(int type, int depth, std::function<std::vector<unsigned>(int, int)> pixel) {
  test::PngRecipe r;
  r.width = 20;
  r.height = 10;
  r.colourType = type;
  r.bitDepth = depth;
  r.pixel = std::move(pixel);
  return r;
}

// Left half one value, right half another.
std::function<std::vector<unsigned>(int, int)> halves(std::vector<unsigned> left,
                                                      std::vector<unsigned> right) {
  return [=](int x, int) { return x < 10 ? left : right; };
}

// RGBA pictures: left and right halves, or top and bottom.
test::Rgba split(std::array<std::uint8_t, 4> left, std::array<std::uint8_t, 4> right) {
  return [=](int x, int) { return x < 10 ? left : right; };
}
test::Rgba topAndBottom(std::array<std::uint8_t, 4> top, std::array<std::uint8_t, 4> bottom) {
  return [=](int, int y) { return y < 5 ? top : bottom; };
}

const Colour kGrey188{188, 188, 188};

Bytes withoutEnd(Bytes jpeg) {
  jpeg.resize(jpeg.size() - 2);
  return jpeg;
}

// The JPEG up to its scan number `scan` (from 1), as a file cut short there.
Bytes cutBeforeScan(const Bytes& jpeg, int scan) {
  for (std::size_t i = 2; i + 1 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA && --scan == 0)
      return Bytes(jpeg.begin(), jpeg.begin() + i);
  }
  return jpeg;
}

std::vector<SourceCase> sourceCases() {
  std::vector<SourceCase> cases = {
      {"baseline", [] { return test::quadrantJpeg(64, 32); }, 64, 32, kRed, kGreen},
      {"progressive", [] { return test::quadrantJpeg(64, 32, true); }, 64, 32, kRed, kGreen},
      // The library supplies the end-of-image marker; no data is missing.
      {"without its end marker", [] { return withoutEnd(test::quadrantJpeg(64, 32)); }, 64, 32,
       kRed, kGreen},
      {"progressive without its end marker",
       [] { return withoutEnd(test::quadrantJpeg(64, 32, true)); }, 64, 32, kRed, kGreen},
      {"grey",
       [] { return solidJpeg(test::JpegColour::Grey, 77, 0, 0); },
       32,
       32,
       {77, 77, 77},
       {77, 77, 77}},
      // CMYK as the usual editors store it, 255 for no ink: cyan and black inks at none.
      {"cmyk",
       [] { return wqt::gen::encodeJpeg(cmykMagenta(), 16, 16, 4, JCS_CMYK, 98); },
       16,
       16,
       {255, 0, 255},
       {255, 0, 255}},
      {"icc rgb",
       [] {
         return test::withSegment(solidJpeg(test::JpegColour::Rgb, 128, 128, 128), 0xE2,
                                  test::iccSegment(test::linearProfile(false)));
       },
       32, 32, kGrey188, kGrey188},
      {"icc damaged is read as sRGB",
       [] {
         return test::withSegment(solidJpeg(test::JpegColour::Rgb, 128, 128, 128), 0xE2,
                                  test::iccSegment(Bytes(200, 7)));
       },
       32,
       32,
       {128, 128, 128},
       {128, 128, 128}},
      {"png grey 1-bit",
       [] { return test::encodePng(png(PNG_COLOR_TYPE_GRAY, 1, halves({0}, {1}))); },
       20,
       10,
       {0, 0, 0},
       kWhite},
      {"png grey 16-bit",
       [] { return test::encodePng(png(PNG_COLOR_TYPE_GRAY, 16, halves({0x8080}, {0xFFFF}))); },
       20,
       10,
       {128, 128, 128},
       kWhite,
       0},
      {"png grey alpha on black",
       [] {
         return test::encodePng(png(PNG_COLOR_TYPE_GRAY_ALPHA, 8, halves({255, 0}, {200, 255})));
       },
       20,
       10,
       {0, 0, 0},
       {200, 200, 200},
       0},
      {"png rgb 16-bit",
       [] {
         return test::encodePng(
             png(PNG_COLOR_TYPE_RGB, 16, halves({0xFFFF, 0, 0}, {0, 0, 0xFFFF})));
       },
       20, 10, kRed, kBlue, 0},
      {"png rgba half transparent",
       [] {
         return test::encodePng(
             png(PNG_COLOR_TYPE_RGBA, 8, halves({255, 255, 255, 128}, {0, 255, 0, 255})));
       },
       20,
       10,
       {128, 128, 128},
       kGreen,
       0},
      {"png palette with transparency",
       [] {
         test::PngRecipe r = png(PNG_COLOR_TYPE_PALETTE, 4, halves({0}, {1}));
         r.palette = {{255, 0, 0}, {0, 0, 255}};
         r.transparency = {0, 255};
         return test::encodePng(r);
       },
       20,
       10,
       {0, 0, 0},
       kBlue,
       0},
      {"png interlaced",
       [] {
         test::PngRecipe r = png(PNG_COLOR_TYPE_RGB, 8, halves({255, 0, 0}, {0, 255, 0}));
         r.interlaced = true;
         return test::encodePng(r);
       },
       20, 10, kRed, kGreen, 0},
      {"png icc grey",
       [] {
         test::PngRecipe r = png(PNG_COLOR_TYPE_GRAY, 8, halves({128}, {128}));
         r.icc = test::linearProfile(true);
         return test::encodePng(r);
       },
       20, 10, kGrey188, kGrey188},
      // Held whole at four bytes a pixel this would take 36 MB; only the reduced picture is kept.
      {"png interlaced of 9 megapixels",
       [] { return test::deflateBombPng(3000, 3000, 0, true); },
       3000,
       3000,
       {0, 0, 0},
       {0, 0, 0},
       0},
      {"webp lossy",
       [] {
         return test::encodeWebp(20, 10, split({255, 0, 0, 255}, {0, 255, 0, 255}), false);
       },
       20, 10, kRed, kGreen, 24},
      {"webp lossless half transparent",
       [] {
         return test::encodeWebp(20, 10, split({255, 255, 255, 128}, {0, 0, 255, 255}), true);
       },
       20,
       10,
       {128, 128, 128},
       kBlue,
       1},
      // The TIFF structure of the EXIF segment, without its "Exif\0\0", as WebP writers store it.
      {"webp turned by its exif chunk",
       [] {
         const Bytes exif = test::exifOrientation(6);
         return test::webpWithExif(
             test::encodeWebp(20, 10, split({255, 0, 0, 255}, {0, 0, 255, 255}), true), 20, 10,
             Bytes(exif.begin() + 6, exif.end()));
       },
       10, 20, kRed, kRed, 0},
      {"gif interlaced with a transparent colour",
       [] {
         return test::encodeGif(
             20, 12, {{255, 0, 0}, {0, 0, 255}}, [](int x, int) { return x < 10 ? 0 : 1; }, 0,
             true);
       },
       20,
       12,
       {0, 0, 0},
       kBlue,
       0},
      // The canvas the frame leaves uncovered is transparent.
      {"gif frame on part of its canvas",
       [] {
         return test::encodeGif(
             20, 10, {{0, 255, 0}}, [](int, int) { return 0; }, -1, false, 10);
       },
       20,
       10,
       {0, 0, 0},
       kGreen,
       0},
      {"bmp 32-bit bottom-up with alpha",
       [] {
         return test::encodeBmp32(20, 10, topAndBottom({255, 255, 255, 64}, {0, 0, 255, 255}),
                                  false);
       },
       20,
       10,
       {64, 64, 64},
       {64, 64, 64},
       0},
      {"bmp 32-bit top-down",
       [] {
         return test::encodeBmp32(20, 10, split({255, 0, 0, 255}, {0, 255, 0, 255}), true);
       },
       20, 10, kRed, kGreen, 0},
      {"tiff 16-bit with alpha",
       [] {
         return test::encodeTiff(20, 10, split({255, 255, 255, 128}, {0, 255, 0, 255}), 16, true);
       },
       20,
       10,
       {128, 128, 128},
       kGreen,
       1},
      // Made by libheif's own encoders; none (empty) where it has none.
      {"heic",
       [] {
         return test::encodeHeif(20, 10, split({255, 0, 0, 255}, {0, 0, 255, 255}), false);
       },
       20, 10, kRed, kBlue, 24},
      {"avif half transparent",
       [] {
         return test::encodeHeif(20, 10, split({255, 255, 255, 128}, {0, 255, 0, 255}), true);
       },
       20,
       10,
       {128, 128, 128},
       kGreen,
       24},
      // Tiles of 16 × 16 cropped to the grid's 20 × 10, pasted in RGB planes.
      {"heic grid",
       [] {
         return test::heifGrid(
             {test::encodeHeif(16, 16, split({255, 0, 0, 255}, {255, 0, 0, 255}), false),
              test::encodeHeif(16, 16, split({0, 0, 255, 255}, {0, 0, 255, 255}), false)},
             2, 16, 20, 10);
       },
       20, 10, kRed, kBlue, 24},
      // Turned a quarter anticlockwise as its rows are read: the right tile on top.
      {"heic grid turned",
       [] {
         return test::heifGrid(
             {test::encodeHeif(16, 16, split({255, 0, 0, 255}, {255, 0, 0, 255}), false),
              test::encodeHeif(16, 16, split({0, 0, 255, 255}, {0, 0, 255, 255}), false)},
             2, 16, 20, 10, "irot", 1);
       },
       10, 20, kBlue, kBlue, 24},
      // Stored upside down and mirrored (orientation 3): the stored right half shows on the left.
      {"tiff turned by its orientation",
       [] {
         return test::encodeTiff(20, 10, split({255, 0, 0, 255}, {0, 0, 255, 255}), 8, false, 3);
       },
       20, 10, kBlue, kRed, 0},
  };
  // Every EXIF orientation of the quadrant picture (red, green / blue, white): the corners it
  // must show upright, and the axes swapped from 5 on.
  const Colour corners[8][2] = {{kRed, kGreen}, {kGreen, kRed}, {kWhite, kBlue},  {kBlue, kWhite},
                                {kRed, kBlue},  {kBlue, kRed},  {kWhite, kGreen}, {kGreen, kWhite}};
  for (int o = 1; o <= 8; ++o) {
    cases.push_back({"exif orientation " + std::to_string(o),
                     [o] {
                       return test::withSegment(test::quadrantJpeg(64, 32), 0xE1,
                                                test::exifOrientation(o));
                     },
                     o >= 5 ? 32 : 64, o >= 5 ? 64 : 32, corners[o - 1][0], corners[o - 1][1]});
  }
  return cases;
}

void expectNear(Colour actual, Colour expected, int tolerance, const std::string& where) {
  EXPECT_NEAR(actual.r, expected.r, tolerance) << where;
  EXPECT_NEAR(actual.g, expected.g, tolerance) << where;
  EXPECT_NEAR(actual.b, expected.b, tolerance) << where;
}

TEST(FitSource, ReadsEverySourceUprightAndOpaque) {
  const SourceRequest request{{FileKind::Raw, 16, 16}, {0, 0, 0}};
  std::string missing;
  for (const SourceCase& c : sourceCases()) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = c.bytes();
    if (bytes.empty()) {
      missing += " " + c.name;
      continue;
    }
    const SourcePicture s = readSource(bytes, request);
    EXPECT_EQ(s.width, c.width);
    EXPECT_EQ(s.height, c.height);
    expectNear(at(s, 0.1, 0.1), c.topLeft, c.tolerance, "top left");
    expectNear(at(s, 0.9, 0.1), c.topRight, c.tolerance, "top right");
  }
  if (!missing.empty()) GTEST_SKIP() << "no encoder here for:" << missing;
}

TEST(FitSource, RefusesWhatItCannotTake) {
  const SourceRequest request{{FileKind::Jpg, 240, 320}, {0, 0, 0}};
  // 10000 × 10001: the header and an empty first data chunk are all the reader needs.
  Bytes hugePng = test::pngStart(10000, 10001);
  test::appendChunk(hugePng, "IDAT", {});
  test::JpegRecipe noise;
  noise.width = noise.height = 64;
  noise.fill = test::JpegFill::Noise;
  const Bytes noisy = test::encodeJpeg(noise);
  const struct {
    std::string name;
    Bytes bytes;
    std::string error;
  } cases[] = {
      {"jpeg over the pixel cap", wqt::gen::claimingJpeg(12000, 9000), kPictureTooLargeMessage},
      {"png over the pixel cap", hugePng, kPictureTooLargeMessage},
      {"gif cut short",
       {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0},
       "Файл GIF повреждён или записан так, как программа не читает. Загрузка невозможна."},
      {"unknown",
       {'P', '6', '\n', '1', ' ', '1', '\n', '2', '5', '5', '\n', 0, 0, 0},
       kUnknownPictureMessage},
      {"empty", {}, kUnknownPictureMessage},
      {"png cut short", Bytes(hugePng.begin(), hugePng.begin() + 20), "PNG error: file cut short"},
      {"jpeg cut short in its data", Bytes(noisy.begin(), noisy.begin() + noisy.size() / 2),
       kCutShortJpegMessage},
      {"progressive jpeg cut short between scans",
       cutBeforeScan(test::quadrantJpeg(64, 32, true), 5), kCutShortJpegMessage},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(test::errorOf([&] { readSource(c.bytes, request); }), c.error) << c.name;
  }
  EXPECT_THROW(readSource(Bytes{0xFF, 0xD8, 0xFF, 0x00, 0x01}, request), JpegError);
}

// A grid is decoded a tile at a time, so a 12-megapixel one fits where one coded picture of that
// size would not, unless mirroring it takes a second whole picture; a coded picture counts at the
// size its stream header gives, whatever its container claims.
TEST(FitSource, HeifIsReckonedByWhatItsDecodingHolds) {
  const SourceRequest request{{FileKind::Jpg, 240, 320}, {0, 0, 0}};
  const Bytes tile = test::encodeHeif(512, 512, split({90, 90, 90, 255}, {90, 90, 90, 255}), false);
  Bytes claimingLess =
      test::encodeHeif(4096, 3200, split({90, 90, 90, 255}, {90, 90, 90, 255}), false);
  if (tile.empty() || claimingLess.empty()) GTEST_SKIP() << "no HEVC encoder here";
  const Bytes ispe = test::heifBox(claimingLess, "ispe");
  const auto at = std::search(claimingLess.begin(), claimingLess.end(), ispe.begin(), ispe.end());
  std::copy_n(Bytes{0, 0, 0, 0, 0, 0, 0, 150, 0, 0, 0, 100}.begin(), 12, at);
  const struct {
    std::string name;
    Bytes bytes;
    std::string error;
  } cases[] = {
      {"grid of 8 × 6 tiles, 4032 × 3024",
       test::heifGrid(std::vector(48, tile), 8, 512, 4032, 3024), "(no error)"},
      {"the same grid mirrored", test::heifGrid(std::vector(48, tile), 8, 512, 4032, 3024, "imir"),
       kSourceMemoryMessage},
      {"4096 × 3200 claiming 150 × 100", claimingLess, kSourceMemoryMessage},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(test::errorOf([&] { readSource(c.bytes, request); }), c.error) << c.name;
  }
}

// The passes of an interlaced picture land where its rows would, unreduced, reduced in small
// blocks and in large ones.
TEST(FitSource, InterlacedPngReadsAsItsPlainTwin) {
  test::PngRecipe r = png(PNG_COLOR_TYPE_RGB_ALPHA, 8, [](int x, int y) {
    return std::vector<unsigned>{unsigned(x * 7 % 256), unsigned(y * 11 % 256),
                                 unsigned(x * y % 256), unsigned((x + y) * 5 % 256)};
  });
  r.width = 203;
  r.height = 151;
  const Bytes plain = test::encodePng(r);
  r.interlaced = true;
  const Bytes interlaced = test::encodePng(r);
  for (const FitTarget target :
       {FitTarget{FileKind::Raw, 203, 151}, FitTarget{FileKind::Raw, 40, 30},
        FitTarget{FileKind::Raw, 1, 1}}) {
    SCOPED_TRACE(target.width);
    const SourceRequest request{target, {10, 20, 30}};
    const SourcePicture a = readSource(plain, request), b = readSource(interlaced, request);
    EXPECT_EQ(a.pixels.width, b.pixels.width);
    EXPECT_EQ(a.pixels.height, b.pixels.height);
    EXPECT_EQ(a.pixels.pixels, b.pixels.pixels);
  }
}

// A reader that counts what is pulled, and the most asked for at once (what a careless reader
// allocates for a chunk's claimed length).
class CountingReader : public MemoryReader {
 public:
  using MemoryReader::MemoryReader;
  std::size_t read(std::span<std::uint8_t> out) override {
    largestAsk = std::max(largestAsk, out.size());
    const std::size_t n = MemoryReader::read(out);
    pulled += n;
    return n;
  }
  std::size_t pulled = 0, largestAsk = 0;
};

// Hostile PNGs cost what their pixels need: a chunk's claimed length is never asked for, and
// reading ends with the last row, however much compressed data follows it.
TEST(FitSource, PngReadingIsBoundedByThePixels) {
  const struct {
    std::string name;
    Bytes bytes;
    std::string error;
    std::size_t mostPulled;
  } cases[] = {
      {"text chunk claiming 2 GiB", test::chunkBombPng("tEXt"), "PNG error: file cut short", 57},
      {"profile chunk claiming 2 GiB", test::chunkBombPng("iCCP"), "PNG error: file cut short", 57},
      {"unknown chunk claiming 2 GiB", test::chunkBombPng("zzZz"), "PNG error: file cut short", 57},
      {"2 GiB of zeros after the rows", test::deflateBombPng(240, 320, 2048), "(no error)",
       256 << 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CountingReader reader(c.bytes);
    EXPECT_EQ(test::errorOf([&] {
                decodePngSource(reader, {{FileKind::Raw, 16, 16}, {}});
              }),
              c.error);
    EXPECT_LE(reader.pulled, c.mostPulled);
    EXPECT_LE(reader.largestAsk, std::size_t{64} << 10);
  }
}

TEST(FitSource, ReducesABigPictureToNoLessThanTwiceTheTarget) {
  // 640 × 480 for a 40 × 40 crop: it covers at 1/12, so it may be read at 1/6 and no smaller.
  const Bytes jpeg = test::quadrantJpeg(640, 480);
  const SourcePicture s = readSource(jpeg, {{FileKind::Raw, 40, 40}, {0, 0, 0}});
  EXPECT_EQ(s.width, 640);
  EXPECT_GE(s.pixels.height, 80);
  EXPECT_LE(s.pixels.height, 240);
  std::vector<std::uint8_t> rgba(640u * 480u * 4u, 255);
  const SourcePicture raw =
      sourceFromRgba(rgba.data(), 640, 480, 640 * 4, {{FileKind::Raw, 40, 40}, {}});
  EXPECT_EQ(raw.pixels.width, (640 + 5) / 6);
  EXPECT_EQ(raw.pixels.height, 480 / 6);
}

}  // namespace
}  // namespace wqt
