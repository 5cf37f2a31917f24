// Broken theme files against the sample map: every damage gives a clear outcome (a status or
// "Stream read error"), both ways of opening agree, nothing of the open document changes, and no
// file on disk is touched by opening.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/core_error.h"
#include "base/file_io.h"
#include "files/jpeg_decoder.h"
#include "files/preview.h"
#include "jpeg_test_util.h"
#include "map/theme_map.h"
#include "sample/theme_builder.h"
#include "temp_dir.h"
#include "theme/header_text.h"
#include "theme/theme_document.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using wqt::ParsedTheme;
using S = ParsedTheme::Status;

const wqt::ThemeMap& sampleMap() {
  static const wqt::ThemeMap map = [] {
    wqt::ThemeMap m;
    wqt::xml::ValueTable values;
    m.load(WQT_SAMPLE_MAP, values);
    return m;
  }();
  return map;
}

// The sample map's layout: type byte 98h, table 9Ch, data 100h, 15 files.
constexpr std::size_t kType = 0x98, kTable = 0x9C, kData = 0x100, kCount = 15;

void putU32(Bytes& b, std::size_t at, std::uint32_t v) {
  wqt::writeU32LE(b, at, v);
}

// A valid theme for the sample map whose slot i holds i + 3 bytes.
Bytes sampleTheme() {
  wqt::sample::ThemeRecipe recipe;
  recipe.sign1 = sampleMap().settings().signature1;
  recipe.sign2 = sampleMap().settings().signature2;
  recipe.author = "Автор";
  recipe.name = "Тема";
  recipe.writeFileCount = false;
  std::vector<Bytes> files(kCount);
  for (std::size_t i = 0; i < kCount; ++i) {
    for (std::size_t k = 0; k < i + 3; ++k)
      files[i].push_back(static_cast<std::uint8_t>(i * 16 + k));
  }
  return wqt::sample::themeFile(recipe, files);
}

// The outcome of one way of opening: the thrown message, or the status and slots.
struct Outcome {
  std::string error;
  S status = S::Ok;
  std::uint32_t tooLargeSlot = 0;
  std::vector<Bytes> slots;
  bool operator==(const Outcome&) const = default;
};

Outcome outcomeOf(const std::function<ParsedTheme()>& open) {
  Outcome o;
  try {
    ParsedTheme p = open();
    o.status = p.status;
    o.tooLargeSlot = p.tooLargeSlot;
    o.slots = std::move(p.slots);
  } catch (const wqt::Error& e) {
    o.error = e.what();
  }
  return o;
}

// Opens the bytes both ways (in memory, and from a file on disk) with a document already open;
// checks that they agree, that the file was not changed and that the document is as it was.
Outcome openBothWays(const Bytes& file, const wqt::MapSettings& settings) {
  wqt::test::TempDir dir;
  const auto path = dir.write("t.wqt", file);
  wqt::ThemeDocument doc;
  doc.create(settings);
  const Bytes image = doc.image();

  const Outcome inMemory = outcomeOf([&] { return wqt::parseThemeFile(file, settings); });
  const Outcome fromDisk = outcomeOf([&] { return wqt::readThemeFile(path, settings); });
  EXPECT_EQ(inMemory, fromDisk);
  EXPECT_EQ(wqt::readWholeFile(path), file);
  EXPECT_EQ(doc.image(), image);
  return inMemory;
}

TEST(BrokenTheme, TruncatedAtEveryRegionBoundaryIsAReadError) {
  const Bytes full = sampleTheme();
  std::vector<std::size_t> cuts = {
      0,    1,   12,    13,        14,     30,         31,
      32,   84,  85,    137,       140,    144,        145,
      148,  152, kType, kType + 1, kTable, kTable + 2, kTable + 4 * kCount - 1,
      kData};
  std::size_t pos = kData;
  for (std::size_t i = 0; i < kCount; ++i) {
    cuts.push_back(pos + 1);
    pos += i + 3;
    cuts.push_back(pos - 1);
  }
  for (const std::size_t cut : cuts) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    const Bytes file(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_EQ(openBothWays(file, sampleMap().settings()).error, "Stream read error");
  }
  EXPECT_EQ(openBothWays(full, sampleMap().settings()).error, "");
}

TEST(BrokenTheme, SizesPastTheEndAndAboveTheSlotCapacity) {
  const auto& settings = sampleMap().settings();
  for (std::size_t i = 0; i < kCount; ++i) {
    SCOPED_TRACE("slot " + std::to_string(i + 1));
    Bytes past = sampleTheme();
    putU32(past, kTable + 4 * i, static_cast<std::uint32_t>(past.size()));  // beyond any data
    EXPECT_EQ(openBothWays(past, settings).error, "Stream read error");

    for (const std::uint32_t size : {524289u, 0x80000000u, 0xFFFFFFFFu}) {
      Bytes large = sampleTheme();
      putU32(large, kTable + 4 * i, size);
      const Outcome o = openBothWays(large, settings);
      EXPECT_EQ(o.error, "");
      EXPECT_EQ(o.status, S::SlotTooLarge);
      EXPECT_EQ(o.tooLargeSlot, i + 1);
    }
  }
  // Exactly the capacity is accepted.
  Bytes exact = sampleTheme();
  putU32(exact, kTable + 4 * (kCount - 1), 524288);
  exact.resize(exact.size() - (kCount + 2) + 524288, 0xAB);
  const Outcome o = openBothWays(exact, settings);
  EXPECT_EQ(o.status, S::Ok);
  ASSERT_EQ(o.slots.size(), kCount + 1);
  EXPECT_EQ(o.slots[kCount].size(), 524288u);
}

TEST(BrokenTheme, FileCountFFFF) {
  wqt::MapSettings settings = sampleMap().settings();
  settings.fileCount = 0xFFFF;
  settings.dataOffset = 0xFFFF;  // the table (9Ch + 4 × FFFFh) still runs past it
  // The header alone: the size table is cut off.
  EXPECT_EQ(openBothWays(sampleTheme(), settings).error, "Stream read error");
  // A whole table of empty files opens without a slot's worth of memory each, and cannot be saved.
  Bytes file = sampleTheme();
  file.resize(kTable + 4 * 0xFFFF, 0);
  std::fill(file.begin() + kTable, file.end(), 0);
  const Outcome o = openBothWays(file, settings);
  ASSERT_EQ(o.status, S::Ok);
  wqt::ThemeDocument doc;
  doc.adopt(wqt::parseThemeFile(file, settings));
  EXPECT_EQ(doc.slotCount(), 0xFFFFu);
  EXPECT_LT(doc.slotMemory(), 4u << 20);
  EXPECT_TRUE(doc.hasEmptySlot(settings));
  EXPECT_TRUE(wqt::saveLayoutOverlaps(settings));
}

TEST(BrokenTheme, OverlappingRegionsOpenAlikeAndAreNeverSaved) {
  struct Case {
    const char* name;
    std::function<void(wqt::MapSettings&)> change;
  };
  const Case cases[] = {
      {"TableRunsIntoData", [](auto& s) { s.dataOffset = kTable + 8; }},
      {"TableOnHeaderFields", [](auto& s) { s.tableOffset = 0x20; }},
      {"TypeByteInTable", [](auto& s) { s.typeByteOffset = kTable + 4; }},
      {"TypeByteInData", [](auto& s) { s.typeByteOffset = kData + 1; }},
      {"DataOnSignatures", [](auto& s) { s.dataOffset = 0x10; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    wqt::MapSettings settings = sampleMap().settings();
    c.change(settings);
    ASSERT_TRUE(wqt::saveLayoutOverlaps(settings));
    const Bytes file = sampleTheme();
    openBothWays(file, settings);  // agreement and no change are checked inside

    // Whatever opened, saving refuses before the target is touched.
    wqt::test::TempDir dir;
    const auto target = dir.write("old.wqt", std::string("previous"));
    wqt::ThemeDocument doc;
    doc.create(settings);
    for (std::size_t i = 1; i <= doc.slotCount(); ++i) doc.replaceSlot(i, {1, 2});
    const Bytes image = doc.image();
    try {
      wqt::writeFileReplacing(target, doc.rebuildForSave(settings));
      ADD_FAILURE() << "overlapping layout saved";
    } catch (const wqt::Error& e) {
      EXPECT_STREQ(e.what(), wqt::kLayoutOverlapMessage);
    }
    EXPECT_EQ(doc.image(), image);
    EXPECT_EQ(wqt::readWholeFile(target), Bytes({'p', 'r', 'e', 'v', 'i', 'o', 'u', 's'}));
  }
}

TEST(BrokenTheme, MalformedUtf8InEveryHeaderFieldShowsEmpty) {
  const std::vector<Bytes> malformed = {
      {0x80},              // a continuation byte without a lead
      {0xD0, 0x41},        // a lead followed by ASCII
      {0xE2, 0x82, 0x41},  // a three-byte sequence broken at its last byte
      {0xFF, 0xFF},        // bytes that are never UTF-8 continuations
  };
  for (const wqt::HeaderField& field : {wqt::kAuthorField, wqt::kNameField, wqt::kVersionField}) {
    for (const Bytes& bad : malformed) {
      Bytes file = sampleTheme();
      std::fill_n(file.begin() + static_cast<std::ptrdiff_t>(field.offset), field.width, 'a');
      std::copy(bad.begin(), bad.end(), file.begin() + static_cast<std::ptrdiff_t>(field.offset));
      ASSERT_EQ(openBothWays(file, sampleMap().settings()).status, S::Ok);
      wqt::ThemeDocument doc;
      doc.adopt(wqt::parseThemeFile(file, sampleMap().settings()));
      EXPECT_EQ(wqt::decodeHeaderField(wqt::bytesAt(doc.image(), field.offset, field.width)), "");
      // The other fields still decode.
      for (const wqt::HeaderField& other :
           {wqt::kAuthorField, wqt::kNameField, wqt::kVersionField}) {
        if (other.offset != field.offset) {
          EXPECT_NE(wqt::visibleText(wqt::decodeHeaderField(
                        wqt::bytesAt(doc.image(), other.offset, other.width))),
                    "");
        }
      }
    }
    // A two-byte character cut by the field's end.
    Bytes cut = sampleTheme();
    std::fill_n(cut.begin() + static_cast<std::ptrdiff_t>(field.offset), field.width, 'a');
    cut[field.offset + field.width - 1] = 0xD0;
    wqt::ThemeDocument doc;
    doc.adopt(wqt::parseThemeFile(cut, sampleMap().settings()));
    EXPECT_EQ(wqt::decodeHeaderField(wqt::bytesAt(doc.image(), field.offset, field.width)), "");
  }
}

// The first bytes of a file the fuzzer found: a progressive JPEG header claiming
// 57368 × 65496 pixels, whose decode once asked the library for gigabytes.
Bytes hugeProgressiveHeader() {
  return wqt::readWholeFile(std::filesystem::path(WQT_SAMPLE_MAP).parent_path().parent_path() /
                            "fuzz/regressions/jpeg_preview/huge-progressive-header.jpg");
}

TEST(BrokenTheme, NonJpegTruncatedJpegAndHugeHeaderInAJpgSlot) {
  const auto& map = sampleMap();
  ASSERT_EQ(map.entries()[0].kindName, "JPG");
  wqt::test::TempDir dir;
  const auto scratch = dir / "temp";

  // A slot that is no JPEG: the theme opens, the preview fails at the header.
  Bytes file = sampleTheme();
  wqt::ThemeDocument doc;
  doc.adopt(wqt::parseThemeFile(file, map.settings()));
  try {
    wqt::jpegPreview(doc.slot(1), scratch);
    ADD_FAILURE() << "no error";
  } catch (const wqt::JpegError& e) {
    EXPECT_FALSE(e.afterHeader());
    EXPECT_EQ(std::string(e.what()).rfind("JPEG error #", 0), 0u);
  }
  EXPECT_EQ(wqt::readWholeFile(scratch), doc.slot(1));

  // A header claiming a picture far above the preview's limit is refused before decoding, once
  // the header has been read.
  const Bytes huge = hugeProgressiveHeader();
  try {
    wqt::jpegPreview(huge, scratch);
    ADD_FAILURE() << "no error";
  } catch (const wqt::JpegError& e) {
    EXPECT_TRUE(e.afterHeader());
  }
  EXPECT_EQ(wqt::readJpegSize(huge).width, 57368);

  // A JPEG cut in half still previews at its full size, the missing part filled in.
  Bytes half = wqt::test::encodeJpeg(48, 40);
  half.resize(half.size() / 2);
  const wqt::Picture p = wqt::jpegPreview(half, scratch);
  EXPECT_EQ(p.width, 48);
  EXPECT_EQ(p.height, 40);

  // Cut inside its header, it fails at the header like any other non-JPEG.
  Bytes header = wqt::test::encodeJpeg(48, 40);
  header.resize(20);
  EXPECT_THROW(wqt::jpegPreview(header, scratch), wqt::JpegError);
}

}  // namespace
