// Previews: RGB565 conversion, RAW pictures and the JPEG preview through the scratch file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>

#include <string>

#include "base/file_io.h"
#include "files/jpeg_decoder.h"
#include "files/jpeg_session.h"
#include "files/preview.h"
#include "jpeg_test_util.h"
#include "temp_dir.h"

#include <jerror.h>

namespace wqt {
namespace {

FileEntry rawEntry(std::uint16_t w, std::uint16_t h) {
  return FileEntry{wqt::EntryKind::Raw, "RAW", w, h, 0};
}

// Pixel (x, y) of an Rgb32 picture as 0x00BBGGRR, the form rgb565ToColour gives; the stored
// word must be opaque.
std::uint32_t pixelAt(const Picture& p, int x, int y) {
  std::uint32_t word;
  std::memcpy(&word, p.pixels.data() + y * p.bytesPerLine + x * 4, 4);
  EXPECT_EQ(word >> 24, 0xFFu);
  return ((word >> 16) & 0xFF) | (word & 0xFF00) | ((word & 0xFF) << 16);
}

TEST(Rgb565, ConvertsWithoutRepeatingTopBits) {
  const struct {
    std::uint16_t word;
    std::uint32_t colour;
  } cases[] = {
      {0xF800, 0x0000F8}, {0x07E0, 0x00FC00}, {0x001F, 0xF80000}, {0x8410, 0x808080},
      {0x0000, 0x000000}, {0xFFFF, 0xF8FCF8}, {0x0821, 0x080408},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rgb565ToColour(c.word), c.colour) << std::hex << c.word;
  }
}

TEST(Rgb565, StoredPixelIsTheSameColourForEveryWord) {
  for (std::uint32_t w = 0; w <= 0xFFFF; ++w) {
    const std::uint32_t c = rgb565ToColour(static_cast<std::uint16_t>(w));  // 0x00BBGGRR
    const std::uint32_t expected = 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16);
    ASSERT_EQ(rgb565ToPixel(static_cast<std::uint16_t>(w)), expected) << std::hex << w;
  }
}

TEST(RawPreview, ReadsLittleEndianWordsLeftToRightThenDown) {
  // 2 x 2: red, green / blue, white; a 32-bit word per pixel.
  const std::vector<std::uint8_t> slot{0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF};
  const Picture p = rawPreview(rawEntry(2, 2), slot);
  EXPECT_EQ(p.format, Picture::Format::Rgb32);
  EXPECT_EQ(p.width, 2);
  EXPECT_EQ(p.height, 2);
  EXPECT_EQ(p.bytesPerLine, 8);
  ASSERT_EQ(p.pixels.size(), 16u);
  EXPECT_EQ(pixelAt(p, 0, 0), 0x0000F8u);
  EXPECT_EQ(pixelAt(p, 1, 0), 0x00FC00u);
  EXPECT_EQ(pixelAt(p, 0, 1), 0xF80000u);
  EXPECT_EQ(pixelAt(p, 1, 1), 0xF8FCF8u);
}

TEST(RawPreview, TwoByOneRedAndGreenIgnoringSurplusBytes) {
  const std::vector<std::uint8_t> exact{0x00, 0xF8, 0xE0, 0x07};
  std::vector<std::uint8_t> longer = exact;
  longer.insert(longer.end(), {0xFF, 0xFF, 0x12});
  for (const auto& slot : {exact, longer}) {
    const Picture p = rawPreview(rawEntry(2, 1), slot);
    ASSERT_EQ(p.pixels.size(), 8u);
    EXPECT_EQ(pixelAt(p, 0, 0), 0x0000F8u);
    EXPECT_EQ(pixelAt(p, 1, 0), 0x00FC00u);
  }
}

TEST(RawPreview, ShortSlotIsAStreamReadError) {
  const std::vector<std::uint8_t> seven(7, 0xAB);
  for (const auto& slot : {seven, std::vector<std::uint8_t>{}}) {
    try {
      rawPreview(rawEntry(2, 2), slot);
      ADD_FAILURE() << "no error for " << slot.size() << " bytes";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "Stream read error");
    }
  }
}

TEST(RawPreview, ZeroWidthOrHeightGivesAnEmptyPicture) {
  for (const FileEntry& entry : {rawEntry(0, 5), rawEntry(3, 0), rawEntry(0, 0)}) {
    for (const auto& slot : {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>{1, 2, 3}}) {
      const Picture p = rawPreview(entry, slot);
      EXPECT_TRUE(p.isNull());
      EXPECT_TRUE(p.pixels.empty());
    }
  }
}

TEST(ScratchFile, OfThisProcessLiesInTheUserCacheWithAMapFromElsewhere) {
  EXPECT_EQ(scratchFilePath(WQT_SAMPLE_MAP), xdgDirs().cacheHome / "orvalen-wqt-manager" / "temp");
}

TEST(JpegPreview, WritesTheSlotToTheScratchFileAndShowsTheJpegsOwnSize) {
  test::TempDir dir;
  const auto scratch = dir / "temp";
  // The picture is shown at its own size whatever the entry says; the preview takes no entry.
  const std::vector<std::uint8_t> first = test::encodeJpeg(40, 30);
  const Picture p = jpegPreview(first, scratch);
  EXPECT_EQ(p.width, 40);
  EXPECT_EQ(p.height, 30);
  EXPECT_EQ(p.format, Picture::Format::Rgb32);
  EXPECT_EQ(readWholeFile(scratch), first);

  // A later, smaller slot replaces the content entirely; the file stays on disk.
  const std::vector<std::uint8_t> second = test::encodeJpeg(8, 8);
  ASSERT_LT(second.size(), first.size());
  EXPECT_EQ(jpegPreview(second, scratch).width, 8);
  EXPECT_EQ(readWholeFile(scratch), second);

  // A RAW preview does not touch it.
  rawPreview(rawEntry(1, 1), std::vector<std::uint8_t>{0, 0});
  EXPECT_EQ(readWholeFile(scratch), second);
}

TEST(JpegPreview, LowColourScreenGivesIndexedPicture) {
  test::TempDir dir;
  const Picture p = jpegPreview(test::encodeJpeg(20, 10), dir / "temp", true);
  EXPECT_EQ(p.format, Picture::Format::Indexed8);
  EXPECT_LE(p.palette.size(), 236u);
}

TEST(JpegPreview, FailuresLeaveTheScratchFileWithTheSlot) {
  test::TempDir dir;
  const auto scratch = dir / "temp";
  struct Case {
    const char* name;
    std::vector<std::uint8_t> slot;
    int code;
    bool afterHeader;
  };
  const Case cases[] = {
      {"empty slot", {}, JERR_INPUT_EMPTY, true},
      {"not a JPEG", {'a', 'b', 'c', 'd'}, JERR_NO_SOI, false},
      {"picture above the preview's limit", wqt::gen::claimingJpeg(4097, 4096), JERR_IMAGE_TOO_BIG,
       true},
      {"more scans than any picture needs", wqt::gen::claimingJpeg(8, 8, kMaxJpegScans),
       JERR_BAD_SCAN_SCRIPT, true},
      {"scans over a large frame beyond the work bound", wqt::gen::claimingJpeg(4096, 4096, 40),
       JERR_BAD_SCAN_SCRIPT, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir.write("temp", std::string("old content"));
    try {
      jpegPreview(c.slot, scratch);
      ADD_FAILURE() << "no error";
    } catch (const JpegError& e) {
      EXPECT_EQ(std::string(e.what()), "JPEG error #" + std::to_string(c.code));
      EXPECT_EQ(e.afterHeader(), c.afterHeader);
    }
    EXPECT_EQ(readWholeFile(scratch), c.slot);
  }
}

// Only a regular file is written: a missing folder is the file-create error; a link is not
// followed (its target keeps its content) and a pipe is refused without waiting for a reader.
TEST(JpegPreview, ScratchFileOtherThanARegularFileIsRefused) {
  test::TempDir dir;
  dir.write("target", std::string("kept"));
  std::filesystem::create_symlink(dir / "target", dir / "link");
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  const struct {
    const char* name;
    const char* error;
  } cases[] = {
      {"missing folder/temp", "Cannot create file"},
      {"link", "Cannot create file"},
      {"pipe", "Cannot open file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      jpegPreview(test::encodeJpeg(4, 4), dir / c.name);
      ADD_FAILURE() << "decoded although the scratch file could not be written";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.error + (" \"" + (dir / c.name).string() + "\""), 0),
                0u)
          << e.what();
    }
  }
  EXPECT_EQ(readWholeFile(dir / "target"), (std::vector<std::uint8_t>{'k', 'e', 'p', 't'}));
}

}  // namespace
}  // namespace wqt
