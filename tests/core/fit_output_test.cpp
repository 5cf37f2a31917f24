// What a fit stores: RGB565 words by each dither, and baseline JPEGs that pass the import checks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "files/import_export.h"
#include "files/import_rules.h"
#include "fit/fit_picture.h"
#include "fit/jpeg_output.h"
#include "fit/rgb565_dither.h"
#include "theme/theme_layout.h"

namespace wqt {
namespace {

RgbPicture flat(int width, int height, Rgb c) {
  RgbPicture p{width, height, {}};
  for (int i = 0; i < width * height; ++i) p.rgb.insert(p.rgb.end(), {c.r, c.g, c.b});
  return p;
}

std::uint16_t word(const std::vector<std::uint8_t>& raw, std::size_t i) {
  return std::uint16_t(raw[2 * i] | raw[2 * i + 1] << 8);
}

constexpr Dither kDithers[] = {Dither::None, Dither::Ordered, Dither::Diffusion};

TEST(FitOutput, ColoursOnTheGridStayExactByEveryDither) {
  // 96, 200, 40 are levels of the 5-6-5 grid; 255 is above the top level of each channel.
  for (const Rgb c : {Rgb{96, 200, 40}, Rgb{0, 0, 0}, Rgb{255, 255, 255}}) {
    const RgbPicture picture = flat(24, 9, c);
    const std::vector<std::uint8_t> plain = rgbToRaw(picture);
    for (const Dither d : kDithers) {
      EXPECT_EQ(ditherToRgb565(picture, d), plain) << int(d) << " " << int(c.r);
    }
  }
}

TEST(FitOutput, DithersKeepAGradientsMeanWhereTopBitsDarkenIt) {
  // Each column one value from 0 to 247; the stored column's mean against it.
  RgbPicture picture{248, 64, {}};
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 248; ++x)
      picture.rgb.insert(picture.rgb.end(), {std::uint8_t(x), std::uint8_t(x), std::uint8_t(x)});
  }
  for (const Dither d : kDithers) {
    const std::vector<std::uint8_t> raw = ditherToRgb565(picture, d);
    double totalError = 0;
    for (int x = 0; x < 248; ++x) {
      double sum = 0;
      for (int y = 0; y < 64; ++y) sum += (word(raw, std::size_t(y * 248 + x)) >> 11) << 3;
      totalError += sum / 64 - x;
    }
    const double meanError = totalError / 248;
    if (d == Dither::None) {
      EXPECT_NEAR(meanError, -3.5, 0.1);
    } else {
      EXPECT_NEAR(meanError, 0, 0.6) << int(d);
    }
  }
}

std::vector<std::uint8_t> noiseRgba(int width, int height) {
  std::vector<std::uint8_t> rgba(std::size_t(width) * std::size_t(height) * 4, 255);
  std::uint32_t seed = 99;
  for (std::size_t i = 0; i < rgba.size(); ++i) {
    seed = seed * 1103515245u + 12345u;
    if (i % 4 != 3) rgba[i] = std::uint8_t(seed >> 16);
  }
  return rgba;
}

bool isBaseline(const std::vector<std::uint8_t>& jpeg) {
  bool sof0 = false;
  for (std::size_t i = 0; i + 1 < jpeg.size(); ++i) {
    if (jpeg[i] != 0xFF) continue;
    if (jpeg[i + 1] == 0xC0) sof0 = true;
    if (jpeg[i + 1] == 0xC2 || jpeg[i + 1] == 0xE1 || jpeg[i + 1] == 0xE2) return false;
  }
  return sof0;
}

TEST(FitOutput, AutomaticQualityIsTheHighestThatFitsASlot) {
  const int side = 800;
  const std::vector<std::uint8_t> rgba = noiseRgba(side, side);
  const FitTarget target{FileKind::Jpg, side, side};
  const SourcePicture source = sourceFromRgba(rgba.data(), side, side, side * 4, {target, {}});
  const FitResult result = fitPicture(source, target, FitOptions{});
  EXPECT_EQ(result.refusal, std::nullopt);
  EXPECT_LE(result.bytes.size(), kSlotCapacity);
  EXPECT_LT(result.quality, kMaxAutoQuality);
  EXPECT_TRUE(isBaseline(result.bytes));
  EXPECT_TRUE(
      importRefusal(FileEntry{entryKindOf("JPG"), "JPG", side, side, 0}, result.bytes).stored());
  // One step up would not fit.
  FitOptions higher;
  higher.quality = result.quality + 1;
  const FitResult over = fitPicture(source, target, higher);
  EXPECT_GT(over.bytes.size(), kSlotCapacity);
  EXPECT_EQ(over.refusal, kTooLargeMessage);
  // The preview is the stored file decoded.
  const Picture decoded = decodeJpeg(result.bytes);
  ASSERT_EQ(result.stored.width, decoded.width);
  for (int x = 0; x < side; x += 37) {
    std::uint32_t w = 0;
    std::memcpy(&w, &decoded.pixels[std::size_t(x) * 4], 4);
    EXPECT_EQ(result.stored.rgb[std::size_t(x) * 3], std::uint8_t(w >> 16));
  }
}

TEST(FitOutput, SmallPictureTakesTheTopQuality) {
  const FitTarget target{FileKind::Jpg, 240, 320};
  const std::vector<std::uint8_t> rgba = noiseRgba(480, 640);
  const SourcePicture source = sourceFromRgba(rgba.data(), 480, 640, 480 * 4, {target, {}});
  const FitResult result = fitPicture(source, target, FitOptions{});
  EXPECT_EQ(result.quality, kMaxAutoQuality);
  EXPECT_EQ(result.refusal, std::nullopt);
  EXPECT_TRUE(isBaseline(result.bytes));
}

TEST(FitOutput, TargetsNoSlotCanHoldAreRefusedBeforeReading) {
  const struct {
    FitTarget target;
    bool holds;
  } cases[] = {
      {{FileKind::Raw, 512, 512}, true},      {{FileKind::Raw, 512, 513}, false},
      {{FileKind::Raw, 20000, 20000}, false}, {{FileKind::Jpg, 4096, 4096}, true},
      {{FileKind::Jpg, 4096, 4097}, false},   {{FileKind::Jpg, 65535, 65535}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.target.width) + "x" + std::to_string(c.target.height));
    EXPECT_EQ(slotCanHold(c.target), c.holds);
    if (c.holds) continue;
    // Refused before the bytes are looked at: these are no picture at all.
    try {
      readSource(std::vector<std::uint8_t>{1, 2, 3}, {c.target, {}});
      ADD_FAILURE() << "read";
    } catch (const SourceError& e) {
      EXPECT_STREQ(e.what(), kTooLargeMessage);
    }
  }
  // The JPEG bound is one: no flat picture encodes smaller.
  const std::vector<std::uint8_t> smallest = encodeBaselineJpeg(flat(1024, 1024, {9, 9, 9}), 1);
  EXPECT_GE(smallest.size(), 64u * 64u * 12u / 8u);
}

}  // namespace
}  // namespace wqt
