// Fitting geometry: each mode into JPG and RAW targets, as one table of what the stored picture
// must show where.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "files/import_rules.h"
#include "fit/fit_picture.h"

namespace wqt {
namespace {

constexpr Rgb kRed{255, 0, 0}, kBlue{0, 0, 255}, kGreen{0, 255, 0};

// 200 × 100: the left half red, the right half blue.
SourcePicture halves() {
  std::vector<std::uint8_t> rgba(200u * 100u * 4u);
  for (std::size_t i = 0; i < 200u * 100u; ++i) {
    const bool left = i % 200 < 100;
    rgba[4 * i] = left ? 255 : 0;
    rgba[4 * i + 2] = left ? 0 : 255;
    rgba[4 * i + 3] = 255;
  }
  return sourceFromRgba(rgba.data(), 200, 100, 800, {{FileKind::Raw, 200, 100}, {}});
}

struct Probe {
  int x, y;
  Rgb colour;
};

struct ModeCase {
  std::string name;
  FitMode mode;
  double cropX;
  int width, height;
  std::vector<Probe> probes;
};

TEST(FitModes, PlacesThePictureAsEachModeSays) {
  const SourcePicture source = halves();
  const ModeCase cases[] = {
      {"crop centred", FitMode::Crop, 0.5, 50, 50, {{3, 25, kRed}, {46, 25, kBlue}}},
      {"crop at the left", FitMode::Crop, 0, 50, 50, {{3, 25, kRed}, {44, 25, kRed}}},
      {"crop at the right", FitMode::Crop, 1, 50, 50, {{5, 25, kBlue}, {46, 25, kBlue}}},
      {"crop wider than the picture", FitMode::Crop, 0.5, 80, 20, {{3, 2, kRed}, {76, 17, kBlue}}},
      {"inside: borders above and below",
       FitMode::Inside,
       0.5,
       50,
       50,
       {{25, 2, kGreen}, {25, 47, kGreen}, {5, 25, kRed}, {45, 25, kBlue}}},
      {"inside: borders left and right",
       FitMode::Inside,
       0.5,
       100,
       20,
       {{5, 10, kGreen}, {94, 10, kGreen}, {33, 10, kRed}, {66, 10, kBlue}}},
      {"stretch", FitMode::Stretch, 0.5, 40, 80, {{3, 2, kRed}, {36, 77, kBlue}}},
  };
  for (const FileKind kind : {FileKind::Jpg, FileKind::Raw}) {
    for (const ModeCase& c : cases) {
      SCOPED_TRACE(c.name + (kind == FileKind::Jpg ? " to JPG" : " to RAW"));
      FitOptions options;
      options.mode = c.mode;
      options.cropX = c.cropX;
      options.background = kGreen;
      const FitTarget target{kind, c.width, c.height};
      const FitResult result = fitPicture(source, target, options);
      EXPECT_EQ(result.refusal, std::nullopt);
      ASSERT_EQ(result.stored.width, c.width);
      ASSERT_EQ(result.stored.height, c.height);
      if (kind == FileKind::Raw) {
        EXPECT_EQ(result.bytes.size(), std::size_t(c.width * c.height * 2));
      }
      for (const Probe& p : c.probes) {
        const std::uint8_t* px =
            &result.stored.rgb[(std::size_t(p.y) * std::size_t(c.width) + std::size_t(p.x)) * 3];
        // RAW keeps the top bits of 255 (248 or 252); JPEG moves colours a little at edges.
        EXPECT_NEAR(px[0], p.colour.r, 24) << p.x << "," << p.y;
        EXPECT_NEAR(px[1], p.colour.g, 24) << p.x << "," << p.y;
        EXPECT_NEAR(px[2], p.colour.b, 24) << p.x << "," << p.y;
      }
    }
  }
}

TEST(FitModes, OnlyJpgAndRawEntriesWithASizeAreTargets) {
  const struct {
    FileEntry entry;
    std::optional<FileKind> kind;
  } cases[] = {
      {{entryKindOf("JPG"), "JPG", 240, 320, 0}, FileKind::Jpg},
      {{entryKindOf("RAW"), "RAW", 16, 8, 0}, FileKind::Raw},
      {{entryKindOf("ANI2"), "ANI2", 16, 8, 0}, std::nullopt},
      {{entryKindOf("RAW"), "RAW", 0, 8, 0}, std::nullopt},
  };
  for (const auto& c : cases) {
    const std::optional<FitTarget> target = fitTarget(c.entry);
    EXPECT_EQ(target.has_value(), c.kind.has_value()) << c.entry.kindName;
    if (target && c.kind) {
      EXPECT_EQ(target->kind, *c.kind);
      EXPECT_EQ(target->width, c.entry.width);
      EXPECT_EQ(target->height, c.entry.height);
    }
  }
}

TEST(FitModes, SliversFitInEveryMode) {
  // A kernel as wide as the reduction would overflow the resampler's fixed-point width.
  const FitTarget target{FileKind::Raw, 13, 9};
  for (const auto& [w, h] : {std::pair{200000, 1}, std::pair{1, 200000}}) {
    const std::vector<std::uint8_t> rgba(std::size_t(w * h * 4), 200);
    const SourcePicture source =
        sourceFromRgba(rgba.data(), w, h, std::size_t(w * 4), {target, {}});
    for (const FitMode mode : {FitMode::Crop, FitMode::Inside, FitMode::Stretch}) {
      FitOptions options;
      options.mode = mode;
      const FitResult result = fitPicture(source, target, options);
      EXPECT_EQ(result.stored.width, 13);
      EXPECT_EQ(result.stored.height, 9);
    }
  }
}

TEST(FitModes, SameSizeKeepsEveryPixel) {
  std::vector<std::uint8_t> rgba(37u * 23u * 4u, 255);
  std::uint32_t seed = 7;
  for (std::size_t i = 0; i < rgba.size(); ++i) {
    seed = seed * 1103515245u + 12345u;
    if (i % 4 != 3) rgba[i] = std::uint8_t(seed >> 16);
  }
  const FitTarget target{FileKind::Raw, 37, 23};
  const SourcePicture source = sourceFromRgba(rgba.data(), 37, 23, 37 * 4, {target, {}});
  for (const FitMode mode : {FitMode::Crop, FitMode::Inside, FitMode::Stretch}) {
    FitOptions options;
    options.mode = mode;
    const RgbPicture fitted = resamplePicture(source, target, options);
    for (std::size_t i = 0; i < 37u * 23u; ++i) {
      ASSERT_EQ(fitted.rgb[3 * i], rgba[4 * i]) << i;
      ASSERT_EQ(fitted.rgb[3 * i + 2], rgba[4 * i + 2]) << i;
    }
  }
}

}  // namespace
}  // namespace wqt
