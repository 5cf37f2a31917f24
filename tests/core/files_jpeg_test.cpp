// JPEG decoding: header size, full decode to RGB or indexed colours, and the library's errors.
#include <gtest/gtest.h>

#include <cstring>

#include <cstdlib>
#include <string>

#include "files/jpeg_decoder.h"
#include "files/jpeg_session.h"
#include "fit_test_util.h"
#include "jpeg_test_util.h"

// jerror.h after jpeglib.h: the message codes the library reports.
#include <jerror.h>

namespace wqt {
namespace {

using test::encodeJpeg;
using test::JpegColour;
using test::JpegFill;
using test::JpegRecipe;

std::string jpegErrorText(int code) {
  return "JPEG error #" + std::to_string(code);
}

// Runs f, expecting a JpegError; returns it for further checks.
template <typename F>
JpegError expectJpegError(F&& f) {
  try {
    f();
  } catch (const JpegError& e) {
    return e;
  }
  ADD_FAILURE() << "no JpegError thrown";
  return JpegError(-1, false);
}

TEST(JpegDecoder, ReadsHeaderSizeInBothOrders) {
  for (const auto& [w, h] : {std::pair{240, 320}, std::pair{320, 240}, std::pair{1, 1}}) {
    const JpegSize size = readJpegSize(encodeJpeg(w, h));
    EXPECT_EQ(size.width, w);
    EXPECT_EQ(size.height, h);
  }
}

TEST(JpegDecoder, EmptyBytesReadAsZeroByZero) {
  const JpegSize size = readJpegSize({});
  EXPECT_EQ(size.width, 0);
  EXPECT_EQ(size.height, 0);
}

TEST(JpegDecoder, DecodesColourToOpaqueWordsAtFullSize) {
  JpegRecipe recipe;
  recipe.width = 33;
  recipe.height = 17;
  recipe.fill = JpegFill::Solid;
  recipe.r = 200;
  recipe.g = 40;
  recipe.b = 90;
  const Picture p = decodeJpeg(encodeJpeg(recipe));
  EXPECT_EQ(p.format, Picture::Format::Rgb32);
  EXPECT_EQ(p.width, 33);
  EXPECT_EQ(p.height, 17);
  EXPECT_EQ(p.bytesPerLine, 132);
  ASSERT_EQ(p.pixels.size(), 132u * 17);
  EXPECT_TRUE(p.palette.empty());
  // Word-aligned for the window's images, never on a boundary the decoder writes past the cache.
  const auto start = reinterpret_cast<std::uintptr_t>(p.pixels.data());
  EXPECT_EQ(start % 4, 0u);
  EXPECT_NE(start % 16, 0u);
  // Each pixel is the word 0xFFRRGGBB; a flat colour survives compression within a few levels.
  for (const std::size_t at : {std::size_t{0}, std::size_t{16 * 132 + 32 * 4}}) {
    std::uint32_t word;
    std::memcpy(&word, p.pixels.data() + at, 4);
    EXPECT_EQ(word >> 24, 0xFFu);
    EXPECT_NEAR((word >> 16) & 0xFF, 200, 6);
    EXPECT_NEAR((word >> 8) & 0xFF, 40, 6);
    EXPECT_NEAR(word & 0xFF, 90, 6);
  }
}

TEST(JpegDecoder, GreyscaleIsQuantizedIntoGreyPalette) {
  JpegRecipe recipe;
  recipe.width = 301;
  recipe.height = 9;
  recipe.colour = JpegColour::Grey;
  const Picture p = decodeJpeg(encodeJpeg(recipe));
  EXPECT_EQ(p.format, Picture::Format::Indexed8);
  EXPECT_EQ(p.width, 301);
  EXPECT_EQ(p.height, 9);
  EXPECT_EQ(p.bytesPerLine, 304);
  ASSERT_EQ(p.pixels.size(), 304u * 9);
  ASSERT_GT(p.palette.size(), 1u);
  EXPECT_LE(p.palette.size(), 236u);
  for (const std::uint32_t c : p.palette) {
    EXPECT_EQ(c >> 24, 0xFFu);
    EXPECT_EQ((c >> 16) & 0xFF, c & 0xFF);
    EXPECT_EQ((c >> 8) & 0xFF, c & 0xFF);
  }
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      EXPECT_LT(p.pixels[static_cast<std::size_t>(y * p.bytesPerLine + x)], p.palette.size());
    }
  }
}

TEST(JpegDecoder, QuantizeFlagGivesIndexedColourPicture) {
  JpegRecipe recipe;
  recipe.width = 50;
  recipe.height = 20;
  const Picture p = decodeJpeg(encodeJpeg(recipe), /*quantize=*/true);
  EXPECT_EQ(p.format, Picture::Format::Indexed8);
  EXPECT_EQ(p.bytesPerLine, 52);
  ASSERT_EQ(p.pixels.size(), 52u * 20);
  ASSERT_GT(p.palette.size(), 1u);
  EXPECT_LE(p.palette.size(), 236u);
  bool anyColour = false;
  for (const std::uint32_t c : p.palette) {
    anyColour |= ((c >> 16) & 0xFF) != (c & 0xFF);
  }
  EXPECT_TRUE(anyColour);
}

TEST(JpegDecoder, TruncatedDataStillDecodesAtFullSize) {
  JpegRecipe recipe;
  recipe.width = 128;
  recipe.height = 128;
  recipe.fill = JpegFill::Noise;
  std::vector<std::uint8_t> bytes = encodeJpeg(recipe);
  ASSERT_GT(bytes.size(), 4000u);
  bytes.resize(bytes.size() / 2);
  EXPECT_EQ(readJpegSize(bytes).width, 128);
  const Picture p = decodeJpeg(bytes);
  EXPECT_EQ(p.width, 128);
  EXPECT_EQ(p.height, 128);
  EXPECT_EQ(p.pixels.size(), 128u * 512);
}

TEST(JpegDecoder, RejectedHeadersGiveTheLibraryCode) {
  const std::vector<std::uint8_t> notJpeg{'P', 'K', 3, 4, 0, 0, 0, 0};
  const std::vector<std::uint8_t> onlySoi{0xFF, 0xD8};
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int code;
  };
  for (const Case& c : {Case{"not a JPEG", notJpeg, JERR_NO_SOI},
                        Case{"start marker only", onlySoi, JERR_NO_IMAGE}}) {
    SCOPED_TRACE(c.name);
    const JpegError sizeError = expectJpegError([&] { readJpegSize(c.bytes); });
    EXPECT_EQ(sizeError.code(), c.code);
    EXPECT_STREQ(sizeError.what(), jpegErrorText(c.code).c_str());

    const JpegError decodeError = expectJpegError([&] { decodeJpeg(c.bytes); });
    EXPECT_EQ(decodeError.code(), c.code);
    EXPECT_STREQ(decodeError.what(), jpegErrorText(c.code).c_str());
    EXPECT_FALSE(decodeError.afterHeader());
  }
}

TEST(JpegDecoder, EmptyBytesFailToDecodeAfterTheHeaderStage) {
  const JpegError e = expectJpegError([] { decodeJpeg({}); });
  EXPECT_STREQ(e.what(), jpegErrorText(JERR_INPUT_EMPTY).c_str());
  EXPECT_TRUE(e.afterHeader());
}

TEST(JpegDecoder, SoundHeaderWithUndecodableDataFailsAfterTheHeader) {
  // A CMYK picture has a sound header but no conversion to RGB.
  JpegRecipe recipe;
  recipe.colour = JpegColour::Cmyk;
  const std::vector<std::uint8_t> bytes = encodeJpeg(recipe);
  EXPECT_EQ(readJpegSize(bytes).width, 16);
  const JpegError e = expectJpegError([&] { decodeJpeg(bytes); });
  EXPECT_EQ(e.code(), JERR_CONVERSION_NOTIMPL);
  EXPECT_TRUE(e.afterHeader());
}

TEST(JpegDecoder, ProgressivePicturesOfEveryColourStayWithinTheWorkBound) {
  // Noise makes every refinement pass carry data, as a photo's would; the frame is above the
  // bound's floor, so the bound is the one per pixel.
  for (const auto& [components, space] :
       {std::pair{1, JCS_GRAYSCALE}, std::pair{3, JCS_RGB}, std::pair{4, JCS_CMYK}}) {
    SCOPED_TRACE(components);
    std::vector<std::uint8_t> samples(512u * 512u * std::size_t(components));
    std::uint32_t seed = 7;
    for (std::uint8_t& v : samples) v = std::uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
    const std::vector<std::uint8_t> jpeg =
        wqt::gen::encodeJpeg(samples, 512, 512, components, space, 95, true);
    EXPECT_EQ(jpegCorruption(jpeg), std::nullopt);
  }
}

// An APPn segment of `size` bytes after its identifying header.
test::Bytes segment(std::initializer_list<std::uint8_t> head, std::size_t size) {
  test::Bytes payload(head);
  payload.resize(payload.size() + size, 0x5A);
  return payload;
}

test::Bytes iccChunk(std::uint8_t number, std::uint8_t count, std::size_t size) {
  return segment({'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, number, count}, size);
}

TEST(JpegSession, SavesOnlyTheMarkersARoadNeedsWithinTheByteCap) {
  const test::Bytes xmp = segment({'h', 't', 't', 'p', ':', '/', '/'}, 60000);
  const test::Bytes exif = segment({'E', 'x', 'i', 'f', 0, 0}, 1000);
  struct Case {
    const char* name;
    bool metadata;
    std::vector<std::pair<std::uint8_t, test::Bytes>> segments;  // in file order
    std::size_t exifSize, iccSize;
  };
  std::vector<std::pair<std::uint8_t, test::Bytes>> overCap;
  for (std::uint8_t n = 1; n <= 70; ++n) overCap.push_back({0xE2, iccChunk(n, 70, 65000)});
  const Case cases[] = {
      {"a road without metadata", false, {{0xE1, exif}, {0xE2, iccChunk(1, 1, 500)}}, 0, 0},
      {"the first EXIF block after other APP1 data",
       true,
       {{0xE1, xmp}, {0xE1, exif}, {0xE1, segment({'E', 'x', 'i', 'f', 0, 0}, 9)}},
       1006,
       0},
      {"profile chunks in any order",
       true,
       {{0xE2, iccChunk(2, 2, 300)}, {0xE2, iccChunk(1, 2, 200)}},
       0,
       500},
      {"a chunk missing", true, {{0xE2, iccChunk(1, 3, 300)}, {0xE2, iccChunk(3, 3, 300)}}, 0, 0},
      {"a profile beyond the cap, dropped whole", true, overCap, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::Bytes jpeg = encodeJpeg(8, 8);
    for (auto it = c.segments.rbegin(); it != c.segments.rend(); ++it)
      jpeg = test::withSegment(std::move(jpeg), it->first, it->second);
    JpegSession s({.metadata = c.metadata});
    ASSERT_TRUE(s.readHeader(jpeg));
    EXPECT_EQ(s.exif().size(), c.exifSize);
    EXPECT_EQ(s.iccProfile().size(), c.iccSize);
  }
}

}  // namespace
}  // namespace wqt
