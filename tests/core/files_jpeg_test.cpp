// Previews: JPEG decoding through the scratch file and the library's errors, RAW pictures and
// RGB565 colours; the markers a JPEG session keeps.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <optional>
#include <string>

#include "base/file_io.h"
#include "error_of.h"
#include "files/jpeg_decoder.h"
#include "files/jpeg_session.h"
#include "files/preview.h"
#include "fit_test_util.h"
#include "jpeg_test_util.h"
#include "temp_dir.h"

// jerror.h after jpeglib.h: the message codes the library reports.
#include <jerror.h>

namespace wqt {
namespace {

using test::Bytes;
using test::encodeJpeg;
using test::JpegColour;
using test::JpegFill;
using test::JpegRecipe;

using test::TempDir;

Bytes cutTo(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}
Bytes halfOf(const Bytes& bytes) {
  return cutTo(bytes, bytes.size() / 2);
}

// A progressive JPEG header claiming 57368 × 65496 pixels: a decode that trusted it would ask
// the library for gigabytes.
Bytes hugeProgressiveHeader() {
  return readWholeFile(std::filesystem::path(WQT_SAMPLE_MAP).parent_path().parent_path() /
                       "fuzz/regressions/jpeg_preview/huge-progressive-header.jpg");
}

TEST(JpegDecoder, ReadsTheHeaderSize) {
  const struct {
    const char* name;
    Bytes bytes;
    int width, height;
  } rows[] = {
      {"upright", encodeJpeg(240, 320), 240, 320},
      {"empty", {}, 0, 0},
      {"cut in half", halfOf(encodeJpeg({128, 128, JpegColour::Rgb, JpegFill::Noise})), 128, 128},
      {"huge progressive header", hugeProgressiveHeader(), 57368, 65496},
  };
  for (const auto& row : rows) {
    const JpegSize size = readJpegSize(row.bytes);
    EXPECT_EQ(size.width, row.width) << row.name;
    EXPECT_EQ(size.height, row.height) << row.name;
  }
}

// The preview writes the slot to the scratch file and shows the picture at its own size: colour
// as opaque words, greyscale (or any picture on a low-colour screen) in at most 236 colours.
TEST(JpegPreview, DecodesEachPictureAtFullSize) {
  const struct {
    const char* name;
    Bytes slot;
    bool lowColour;
    Picture::Format format;
    int width, height, bytesPerLine;
    bool greyPalette;
  } rows[] = {
      {"solid colour", encodeJpeg({33, 17, JpegColour::Rgb, JpegFill::Solid, 200, 40, 90}), false,
       Picture::Format::Rgb32, 33, 17, 132, false},
      {"grey", encodeJpeg({301, 9, JpegColour::Grey}), false, Picture::Format::Indexed8, 301, 9,
       304, true},
      {"colour on a low-colour screen", encodeJpeg(50, 20), true, Picture::Format::Indexed8, 50, 20,
       52, false},
      {"data cut in half", halfOf(encodeJpeg({128, 128, JpegColour::Rgb, JpegFill::Noise})), false,
       Picture::Format::Rgb32, 128, 128, 512, false},
  };
  TempDir dir;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const Picture p = jpegPreview(row.slot, dir / "temp", row.lowColour);
    EXPECT_EQ(readWholeFile(dir / "temp"), row.slot);
    EXPECT_EQ(p.format, row.format);
    EXPECT_EQ(p.width, row.width);
    EXPECT_EQ(p.height, row.height);
    EXPECT_EQ(p.bytesPerLine, row.bytesPerLine);
    ASSERT_EQ(p.pixels.size(), std::size_t(row.bytesPerLine * row.height));
    if (row.format == Picture::Format::Rgb32) {
      EXPECT_TRUE(p.palette.empty());
      // Word-aligned for the window's images, never on a boundary the decoder writes past.
      const auto start = reinterpret_cast<std::uintptr_t>(p.pixels.data());
      EXPECT_EQ(start % 4, 0u);
      EXPECT_NE(start % 16, 0u);
      continue;
    }
    ASSERT_GT(p.palette.size(), 1u);
    EXPECT_LE(p.palette.size(), 236u);
    bool colour = false;
    for (const std::uint32_t c : p.palette) {
      EXPECT_EQ(c >> 24, 0xFFu);
      colour |= ((c >> 16) & 0xFF) != (c & 0xFF) || ((c >> 8) & 0xFF) != (c & 0xFF);
    }
    EXPECT_EQ(colour, !row.greyPalette);
    for (int y = 0; y < p.height; ++y) {
      for (int x = 0; x < p.width; ++x) {
        ASSERT_LT(p.pixels[std::size_t(y * p.bytesPerLine + x)], p.palette.size());
      }
    }
  }
  // Each pixel is the word 0xFFRRGGBB; a flat colour survives compression within a few levels.
  const Picture p = jpegPreview(rows[0].slot, dir / "temp");
  for (const std::size_t at : {std::size_t{0}, std::size_t{16 * 132 + 32 * 4}}) {
    std::uint32_t word;
    std::memcpy(&word, p.pixels.data() + at, 4);
    EXPECT_EQ(word >> 24, 0xFFu);
    EXPECT_NEAR((word >> 16) & 0xFF, 200, 6);
    EXPECT_NEAR((word >> 8) & 0xFF, 40, 6);
    EXPECT_NEAR(word & 0xFF, 90, 6);
  }
}

// Whatever the library refuses still leaves the slot in the scratch file; the error carries the
// library's code and whether the header had been read.
TEST(JpegPreview, FailuresGiveTheLibraryCode) {
  const struct {
    const char* name;
    Bytes slot;
    int code;
    bool afterHeader;
  } rows[] = {
      {"empty slot", {}, JERR_INPUT_EMPTY, true},
      {"not a JPEG", {'P', 'K', 3, 4, 0, 0, 0, 0}, JERR_NO_SOI, false},
      {"cut inside its header", cutTo(encodeJpeg(48, 40), 20), JERR_NO_IMAGE, false},
      // A sound header, but no conversion from CMYK to RGB.
      {"CMYK", encodeJpeg({16, 16, JpegColour::Cmyk}), JERR_CONVERSION_NOTIMPL, true},
      {"picture above the preview's limit", gen::claimingJpeg(4097, 4096), JERR_IMAGE_TOO_BIG,
       true},
      {"huge progressive header", hugeProgressiveHeader(), JERR_IMAGE_TOO_BIG, true},
      {"more scans than any picture needs", gen::claimingJpeg(8, 8, kMaxJpegScans),
       JERR_BAD_SCAN_SCRIPT, true},
      {"scans over a large frame beyond the work bound", gen::claimingJpeg(4096, 4096, 40),
       JERR_BAD_SCAN_SCRIPT, true},
  };
  TempDir dir;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    dir.write("temp", std::string("old content"));
    try {
      jpegPreview(row.slot, dir / "temp");
      ADD_FAILURE() << "no error";
    } catch (const JpegError& e) {
      EXPECT_EQ(e.code(), row.code);
      EXPECT_EQ(std::string(e.what()), "JPEG error #" + std::to_string(row.code));
      EXPECT_EQ(e.afterHeader(), row.afterHeader);
    }
    EXPECT_EQ(readWholeFile(dir / "temp"), row.slot);
  }
}

// Only a regular file is written: a missing folder is the file-create error; a link is not
// followed (its target keeps its content) and a pipe is refused without waiting for a reader.
TEST(JpegPreview, ScratchFileOtherThanARegularFileIsRefused) {
  TempDir dir;
  dir.write("target", std::string("kept"));
  std::filesystem::create_symlink(dir / "target", dir / "link");
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  const struct {
    const char* name;
    const char* error;
  } rows[] = {
      {"missing folder/temp", "Cannot create file"},
      {"link", "Cannot create file"},
      {"pipe", "Cannot open file"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string error = test::errorOf([&] { jpegPreview(encodeJpeg(4, 4), dir / row.name); });
    EXPECT_EQ(error.rfind(row.error + (" \"" + (dir / row.name).string() + "\""), 0), 0u) << error;
  }
  EXPECT_EQ(readWholeFile(dir / "target"), (Bytes{'k', 'e', 'p', 't'}));
}

TEST(ScratchFile, OfThisProcessLiesInTheUserCacheWithAMapFromElsewhere) {
  EXPECT_EQ(scratchFilePath(WQT_SAMPLE_MAP), xdgDirs().cacheHome / "orvalen-wqt-manager" / "temp");
}

TEST(JpegCorruption, ProgressivePicturesOfEveryColourStayWithinTheWorkBound) {
  // Noise makes every refinement pass carry data, as a photo's would; the frame is above the
  // bound's floor, so the bound is the one per pixel.
  for (const auto& [components, space] :
       {std::pair{1, JCS_GRAYSCALE}, std::pair{3, JCS_RGB}, std::pair{4, JCS_CMYK}}) {
    SCOPED_TRACE(components);
    Bytes samples(512u * 512u * std::size_t(components));
    std::uint32_t seed = 7;
    for (std::uint8_t& v : samples) v = std::uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
    EXPECT_EQ(jpegCorruption(gen::encodeJpeg(samples, 512, 512, components, space, 95, true)),
              std::nullopt);
  }
}

// An APPn segment of `size` bytes after its identifying header.
Bytes segment(std::initializer_list<std::uint8_t> head, std::size_t size) {
  Bytes payload(head);
  payload.resize(payload.size() + size, 0x5A);
  return payload;
}

Bytes iccChunk(std::uint8_t number, std::uint8_t count, std::size_t size) {
  return segment({'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, number, count}, size);
}

TEST(JpegSession, SavesOnlyTheMarkersARoadNeedsWithinTheByteCap) {
  const Bytes xmp = segment({'h', 't', 't', 'p', ':', '/', '/'}, 60000);
  const Bytes exif = segment({'E', 'x', 'i', 'f', 0, 0}, 1000);
  std::vector<std::pair<std::uint8_t, Bytes>> overCap;
  for (std::uint8_t n = 1; n <= 70; ++n) overCap.push_back({0xE2, iccChunk(n, 70, 65000)});
  const struct {
    const char* name;
    bool metadata;
    std::vector<std::pair<std::uint8_t, Bytes>> segments;  // in file order
    std::size_t exifSize, iccSize;
  } rows[] = {
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
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Bytes jpeg = encodeJpeg(8, 8);
    for (auto it = row.segments.rbegin(); it != row.segments.rend(); ++it)
      jpeg = test::withSegment(std::move(jpeg), it->first, it->second);
    JpegSession s({.metadata = row.metadata});
    ASSERT_TRUE(s.readHeader(jpeg));
    EXPECT_EQ(s.exif().size(), row.exifSize);
    EXPECT_EQ(s.iccProfile().size(), row.iccSize);
  }
}

TEST(Rgb565, ConvertsWithoutRepeatingTopBits) {
  const struct {
    std::uint16_t word;
    std::uint32_t colour;
  } rows[] = {
      {0xF800, 0x0000F8}, {0x07E0, 0x00FC00}, {0x001F, 0xF80000}, {0x8410, 0x808080},
      {0x0000, 0x000000}, {0xFFFF, 0xF8FCF8}, {0x0821, 0x080408},
  };
  for (const auto& row : rows) EXPECT_EQ(rgb565ToColour(row.word), row.colour) << row.word;
  for (std::uint32_t w = 0; w <= 0xFFFF; ++w) {
    const std::uint32_t c = rgb565ToColour(static_cast<std::uint16_t>(w));  // 0x00BBGGRR
    const std::uint32_t expected = 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16);
    ASSERT_EQ(rgb565ToPixel(static_cast<std::uint16_t>(w)), expected) << w;
  }
}

// Little-endian words left to right, then down; surplus bytes ignored, too few a read error.
TEST(RawPreview, ReadsTheSlotsWords) {
  const Bytes quad{0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF};  // red, green / blue, white
  const struct {
    std::uint16_t width, height;
    Bytes slot;
    std::vector<std::uint32_t> pixels;  // 0xFFRRGGBB; empty: no picture
    const char* error;
  } rows[] = {
      {2, 2, quad, {0xFFF80000, 0xFF00FC00, 0xFF0000F8, 0xFFF8FCF8}, "(no error)"},
      {2, 1, quad, {0xFFF80000, 0xFF00FC00}, "(no error)"},
      {2, 2, Bytes(7, 0xAB), {}, "Stream read error"},
      {0, 5, {1, 2, 3}, {}, "(no error)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.width << "x" << row.height << " " << row.slot.size());
    Picture p;
    EXPECT_EQ(test::errorOf([&] {
                p = rawPreview({EntryKind::Raw, "RAW", row.width, row.height, 0}, row.slot);
              }),
              row.error);
    std::vector<std::uint32_t> words(p.pixels.size() / 4);
    if (!words.empty()) std::memcpy(words.data(), p.pixels.data(), p.pixels.size());
    EXPECT_EQ(words, row.pixels);
    if (!row.pixels.empty()) {
      EXPECT_EQ(p.format, Picture::Format::Rgb32);
      EXPECT_EQ(p.bytesPerLine, row.width * 4);
    }
  }
}

}  // namespace
}  // namespace wqt
