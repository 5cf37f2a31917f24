// The theme document: create, open (from memory and from disk alike), header
// fields, type byte and save.
#include "theme/theme_document.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/core_error.h"
#include "error_of.h"
#include "sample/theme_builder.h"
#include "temp_dir.h"
#include "theme/theme_messages.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using wqt::ParsedTheme;
using wqt::ThemeDocument;
using S = ParsedTheme::Status;

constexpr char kSig1[] = "ORVALEN-THEME";      // 13 bytes
constexpr char kSig2[] = "WQT-THEME-FORMAT1";  // 17 bytes

wqt::MapSettings settings(std::uint16_t count = 3) {
  wqt::MapSettings s;
  s.signature1 = kSig1;
  s.signature2 = kSig2;
  s.tableOffset = 0x9C;
  s.dataOffset = 0x100;
  s.fileCount = count;
  s.colourFlag = "no";
  s.typeByteOffset = 0x98;
  return s;
}

std::uint8_t typeByte(const ThemeDocument& doc, const wqt::MapSettings& s) {
  return wqt::bytesAt(doc.image(), s.typeByteOffset, 1)[0];
}
std::span<const std::uint8_t> fieldBytes(const ThemeDocument& doc, const wqt::HeaderField& f) {
  return wqt::bytesAt(doc.image(), f.offset, f.width);
}

void putU32(Bytes& b, std::size_t at, std::uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4, 0);
  wqt::writeU32LE(b, at, v);
}

// A theme file for settings(): header, type byte 1, sizes, a non-zero gap, the
// data back to back and `surplus` bytes after the data region.
Bytes themeFile(const std::vector<Bytes>& files, std::size_t surplus = 0) {
  wqt::sample::ThemeRecipe recipe;
  recipe.author = "Автор";
  recipe.name = "Имя";
  recipe.version = "2.5";
  recipe.writeFileCount = false;
  recipe.headerFill = 0xEE;
  recipe.surplus = surplus;
  Bytes b = wqt::sample::themeFile(recipe, files);
  b[13] = 0x55;
  return b;
}

const std::vector<Bytes> kFiles = {{1, 2, 3}, {4}, {5, 6, 7, 8, 9}};

// What one way of opening gives: the thrown message, or the status and slots.
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

// Opening in memory and from a file on disk must agree.
Outcome openBothWays(const Bytes& file, const wqt::MapSettings& s) {
  wqt::test::TempDir dir;
  const Outcome inMemory = outcomeOf([&] { return wqt::parseThemeFile(file, s); });
  EXPECT_EQ(outcomeOf([&] { return wqt::readThemeFile(dir.write("t.wqt", file), s); }), inMemory);
  return inMemory;
}

// A create over a changed document gives the same image and empty slots.
TEST(ThemeCreate, ImageByteForByte) {
  ThemeDocument doc;
  doc.create(settings());
  doc.replaceSlot(2, {1, 2, 3});
  doc.setHeaderField(wqt::kNameField, std::string(40, 'n'));
  doc.create(settings());
  Bytes expected(0x100, 0);
  const auto put = [&](std::size_t at, std::string_view text) {
    std::copy(text.begin(), text.end(), expected.begin() + static_cast<std::ptrdiff_t>(at));
  };
  put(0, kSig1);
  put(14, kSig2);
  put(32, "Автор темы");
  put(85, "Название темы");
  put(140, "1.0");
  putU32(expected, 148, 3);
  EXPECT_EQ(doc.image(), expected);
  EXPECT_EQ(doc.slotCount(), 3u);
  EXPECT_TRUE(doc.slot(2).empty());
  EXPECT_EQ(typeByte(doc, settings()), 0);
  // A type byte past the new image is a read error.
  auto past = settings();
  past.typeByteOffset = 0x100;
  EXPECT_EQ(wqt::test::errorOf([&] { typeByte(doc, past); }), "Stream read error");
}

TEST(ThemeCreate, SignaturesCutOrPaddedAndHeaderAlwaysWritten) {
  auto s = settings(0x0102);
  s.signature1 = "SHORT";
  s.signature2 = std::string("WQT-THEME-FORMAT1-AND-MORE");
  s.dataOffset = 0x40;  // shorter than the fixed header: the image still holds all of it
  s.tableOffset = 0x30;
  ThemeDocument doc;
  doc.create(s);
  ASSERT_EQ(doc.image().size(), wqt::kHeaderFixedEnd);
  EXPECT_EQ(Bytes(doc.image().begin(), doc.image().begin() + 14),
            (Bytes{'S', 'H', 'O', 'R', 'T', 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(std::string(doc.image().begin() + 14, doc.image().begin() + 31), kSig2);
  EXPECT_EQ(doc.image()[31], 0);
  EXPECT_EQ(wqt::readU32LE(doc.image(), 148), 0x0102u);
}

TEST(ThemeOpen, ValidFileFillsSlotsAndFields) {
  const Bytes file = themeFile(kFiles, 4);
  ThemeDocument doc;
  doc.adopt(wqt::parseThemeFile(file, settings()));
  EXPECT_EQ(doc.image(), file);
  ASSERT_EQ(doc.slotCount(), 3u);
  for (std::size_t i = 0; i < kFiles.size(); ++i) EXPECT_EQ(doc.slot(i + 1), kFiles[i]);
  EXPECT_FALSE(doc.hasEmptySlot(settings()));
  EXPECT_EQ(typeByte(doc, settings()), 1);
  const auto author = fieldBytes(doc, wqt::kAuthorField);
  EXPECT_EQ(author.size(), 52u);
  EXPECT_EQ(std::string(author.begin(), author.begin() + 10), "Автор");
}

TEST(ThemeOpen, OutcomeOfEachDamage) {
  const struct {
    const char* name;
    std::function<void(Bytes&, wqt::MapSettings&)> change;
    const char* error;
    S status;
    std::uint32_t tooLargeSlot;
  } rows[] = {
      {"shorter than signature 1", [](Bytes& f, auto&) { f.resize(12); }, "Stream read error",
       S::Ok, 0},
      {"signature 1 read before signature 2's length",
       [](Bytes& f, auto&) { f.resize(13), f[0] = 'X'; }, "", S::Signature1Mismatch, 0},
      {"shorter than signature 2", [](Bytes& f, auto&) { f.resize(30); }, "Stream read error",
       S::Ok, 0},
      {"signature 2 differs", [](Bytes& f, auto&) { f.resize(31), f[30] = 'X'; }, "",
       S::Signature2Mismatch, 0},
      {"zero byte in signature 1", [](Bytes& f, auto&) { f[5] = 0; }, "", S::Signature1Mismatch, 0},
      {"map signature of another length",
       [](Bytes&, wqt::MapSettings& s) { s.signature2 = std::string(kSig2) + "X"; }, "",
       S::Signature2Mismatch, 0},
      {"header cut off", [](Bytes& f, auto&) { f.resize(144); }, "Stream read error", S::Ok, 0},
      {"size table cut off", [](Bytes&, wqt::MapSettings& s) { s.tableOffset = 0x1000; },
       "Stream read error", S::Ok, 0},
      {"size past the end", [](Bytes& f, auto&) { f.pop_back(); }, "Stream read error", S::Ok, 0},
      {"size above the capacity", [](Bytes& f, auto&) { putU32(f, 0x9C + 4, 524289); }, "",
       S::SlotTooLarge, 2},
      {"size of 2 GiB", [](Bytes& f, auto&) { putU32(f, 0x9C, 0x80000000); }, "", S::SlotTooLarge,
       1},
      {"a last file of one byte missing",
       [](Bytes& f, auto&) {
         f = themeFile({{1}, {2}, {3}});
         f.pop_back();
       },
       "Stream read error", S::Ok, 0},
      {"an earlier slot past the end wins",
       [](Bytes& f, auto&) {
         putU32(f, 0x9C, 600);
         putU32(f, 0x9C + 8, 524289);
       },
       "Stream read error", S::Ok, 0},
      {"type byte past the end", [](Bytes&, wqt::MapSettings& s) { s.typeByteOffset = 0x1000; },
       "Stream read error", S::Ok, 0},
      {"size table running into the data",
       [](Bytes&, wqt::MapSettings& s) { s.dataOffset = 0x9C + 4; }, "", S::Ok, 0},
      {"exactly the capacity, present",
       [](Bytes& f, auto&) {
         putU32(f, 0x9C + 4, 524288);
         f.insert(f.end() - 5, 524288 - 1, 0xAB);
       },
       "", S::Ok, 0},
      {"no type byte in the layout: its offset is never read",
       [](Bytes&, wqt::MapSettings& s) {
         s.colourFlag = "yes";
         s.typeByteOffset = 0x1000;
       },
       "", S::Ok, 0},
      {"empty slots read nothing past the file's end",
       [](Bytes& f, auto&) {
         f = themeFile({{}, {}, {}});
         f.resize(0x9C + 12);
       },
       "", S::Ok, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Bytes file = themeFile(kFiles);
    auto s = settings();
    row.change(file, s);
    const Outcome o = openBothWays(file, s);
    EXPECT_EQ(o.error, row.error);
    EXPECT_EQ(o.status, row.status);
    EXPECT_EQ(o.tooLargeSlot, row.tooLargeSlot);
  }
}

TEST(ThemeSave, OpenThenSaveZeroesGapAndDropsSurplus) {
  const Bytes file = themeFile(kFiles, 7);
  ThemeDocument doc;
  doc.adopt(wqt::parseThemeFile(file, settings()));
  Bytes expected = file;
  expected.resize(file.size() - 7);
  std::fill(expected.begin() + 0x9C + 12, expected.begin() + 0x100, 0);
  EXPECT_EQ(wqt::joinParts(doc.rebuildForSave(settings())), expected);
  // The image holds what lies before the data; the data stays in the slots.
  EXPECT_EQ(doc.image(), Bytes(expected.begin(), expected.begin() + 0x100));
  EXPECT_EQ(wqt::joinParts(doc.rebuildForSave(settings())), expected);
}

// A header brought from elsewhere (the command line's theme.json) is written
// only when the same map opens the result again.
TEST(ThemeSave, WrittenHeaderMustReopen) {
  const std::vector<std::uint32_t> sizes = {3, 1, 5};
  const struct {
    const char* name;
    std::function<void(Bytes&)> change;
    std::string error;
    S status;
  } rows[] = {
      {"as rebuilt", [](Bytes&) {}, "(no error)", S::Ok},
      {"signature 1", [](Bytes& h) { h[0] ^= 1; }, "(no error)", S::Signature1Mismatch},
      {"sizes differ", [](Bytes& h) { putU32(h, 0x9C, 2); }, wqt::kStreamReadError, S::Ok},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ThemeDocument doc;
    doc.create(settings());
    const auto rebuilt = doc.rebuildHeader(settings(), sizes);
    Bytes header(rebuilt.begin(), rebuilt.end());
    row.change(header);
    S status = S::Ok;
    EXPECT_EQ(wqt::test::errorOf([&] { status = wqt::reopenStatus(header, sizes, settings()); }),
              row.error);
    EXPECT_EQ(status, row.status);
  }
}

// A theme of no files, shorter than the data offset: nothing is missing, and the save pads it.
TEST(ThemeSave, FileCountZero) {
  auto s = settings(0);
  s.colourFlag = "yes";
  Bytes file = themeFile({});
  file.resize(150);  // shorter than the data offset, no table to read
  ThemeDocument doc;
  doc.adopt(wqt::parseThemeFile(file, s));
  EXPECT_EQ(doc.slotCount(), 0u);
  EXPECT_FALSE(doc.hasEmptySlot(s));
  Bytes expected = file;
  expected.resize(0x100, 0);
  std::fill(expected.begin() + 0x9C, expected.end(), 0);
  EXPECT_EQ(wqt::joinParts(doc.rebuildForSave(s)), expected);
}

TEST(ThemeSave, MissingSlotOrOverlapRefuses) {
  ThemeDocument doc;
  doc.create(settings());
  doc.replaceSlot(1, {1});
  doc.replaceSlot(3, {3});
  EXPECT_TRUE(doc.hasEmptySlot(settings()));
  doc.replaceSlot(2, {2});
  EXPECT_FALSE(doc.hasEmptySlot(settings()));
  EXPECT_TRUE(doc.hasEmptySlot(settings(4)));  // the map's count grew since: a slot is missing

  const Bytes before = doc.image();
  auto s = settings();
  s.typeByteOffset = 0xF0;  // in the zeroed gap
  EXPECT_EQ(wqt::test::errorOf([&] { doc.rebuildForSave(s); }), wqt::kLayoutOverlapMessage);
  EXPECT_EQ(doc.image(), before);
}

// Save refuses exactly the layouts whose saved file the same map could not open
// again as saved.
TEST(ThemeSave, RefusesEveryLayoutThatWouldNotReopen) {
  const auto layout = [](int table, int data, int count, int type) {
    auto s = settings(static_cast<std::uint16_t>(count));
    s.tableOffset = static_cast<std::uint16_t>(table);
    s.dataOffset = static_cast<std::uint16_t>(data);
    s.colourFlag = type < 0 ? "yes" : "no";
    s.typeByteOffset = static_cast<std::uint16_t>(type < 0 ? 0x100 : type);
    return s;
  };
  const struct {
    const char* name;
    int table, data, count, type;  // type -1: the map has no type byte
    bool refused;
  } rows[] = {
      {"sample layout", 0x9C, 0x100, 3, 0x98, false},
      {"table and data on the header texts", 0x20, 0x40, 1, -1, true},
      {"data inside the file count", 0x9C, 0x97, 0, -1, true},
      {"table inside the file count", 0x97, 0x100, 1, -1, true},
      {"empty table zeroing the header", 0x00, 0x100, 0, -1, true},
      {"empty table at the data", 0x98, 0x98, 0, -1, false},
      {"table one byte into the data", 0x9C, 0xA7, 3, 0x98, true},
      {"table ending at the data", 0x9C, 0xA8, 3, 0x98, false},
      {"type byte between the signatures", 0x9C, 0x100, 3, 13, false},
      {"type byte in signature 2", 0x9C, 0x100, 3, 0x16, true},
      {"type byte in the author", 0x9C, 0x100, 3, 40, true},
      {"type byte in the name", 0x9C, 0x100, 3, 0x60, true},
      {"type byte after the version", 0x9C, 0x100, 3, 0x91, false},
      {"type byte in the file count", 0x9C, 0x100, 3, 0x94, true},
      {"type byte just before the table", 0x9C, 0x100, 3, 0x9B, false},
      {"type byte in the table", 0x9C, 0x100, 3, 0x9C, true},
      {"type byte in the zeroed gap", 0x9C, 0x100, 3, 0xF0, true},
      {"type byte in the data", 0x9C, 0x100, 3, 0x100, true},
      {"no type byte past the data", 0x9C, 0x100, 3, -1, false},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(wqt::saveLayoutOverlaps(layout(r.table, r.data, r.count, r.type)), r.refused)
        << r.name;
  }

  // Across a grid of layouts, every one that is not refused reopens as it was
  // saved.
  const int offsets[] = {0, 0x0D, 0x20, 0x8C, 0x91, 0x94, 0x98, 0x9C, 0xA0, 0xA4, 0xA8, 0x100};
  for (const int table : offsets) {
    for (const int data : offsets) {
      for (const int count : {0, 1, 3}) {
        for (const int type : {-1, 0x05, 0x0D, 0x20, 0x91, 0x98, 0x9C, 0xA0, 0x100}) {
          const auto s = layout(table, data, count, type);
          if (wqt::saveLayoutOverlaps(s)) continue;
          SCOPED_TRACE(::testing::Message()
                       << std::hex << table << ' ' << data << ' ' << count << ' ' << type);
          ThemeDocument doc;
          doc.create(s);
          for (std::size_t i = 1; i <= doc.slotCount(); ++i) {
            doc.replaceSlot(i, Bytes(i + 2, static_cast<std::uint8_t>(i)));
          }
          if (type >= 0) doc.setThemeType(s, 1);
          ParsedTheme reopened = wqt::parseThemeFile(wqt::joinParts(doc.rebuildForSave(s)), s);
          ASSERT_EQ(reopened.status, S::Ok);
          ThemeDocument again;
          again.adopt(std::move(reopened));
          for (std::size_t i = 1; i <= doc.slotCount(); ++i) EXPECT_EQ(again.slot(i), doc.slot(i));
          for (const auto& field : {wqt::kAuthorField, wqt::kNameField, wqt::kVersionField}) {
            const auto before = fieldBytes(doc, field);
            const auto after = fieldBytes(again, field);
            EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin(), after.end()));
          }
          if (type >= 0) {
            EXPECT_EQ(typeByte(again, s), 1);
          }
        }
      }
    }
  }
}

TEST(ThemeSlots, CapacityIsEnforcedOnReplace) {
  ThemeDocument doc;
  doc.create(settings());
  doc.replaceSlot(1, Bytes(wqt::kSlotCapacity, 1));
  EXPECT_EQ(wqt::test::errorOf([&] { doc.replaceSlot(2, Bytes(wqt::kSlotCapacity + 1, 1)); }),
            wqt::kSlotCapacityMessage);
  EXPECT_TRUE(doc.slot(2).empty());
  EXPECT_THROW(doc.replaceSlot(0, {1}), std::out_of_range);
  EXPECT_THROW(doc.replaceSlot(4, {1}), std::out_of_range);
}

TEST(ThemeSlots, MaximalFileCountStaysSmall) {
  auto s = settings(0xFFFF);
  ThemeDocument doc;
  doc.create(s);
  EXPECT_EQ(doc.slotCount(), 0xFFFFu);
  EXPECT_LT(doc.slotMemory(), 4u << 20);

  // A file with 0xFFFF sizes: the table alone is 256 KiB; every file holds one
  // byte.
  s.tableOffset = 0x100;
  s.dataOffset = 0x100;  // the data overlaps the table: reading it is still well defined
  Bytes file = themeFile({});
  file.resize(0x100 + 4 * 0xFFFF, 0);
  for (std::size_t i = 0; i < 0xFFFF; ++i) putU32(file, 0x100 + 4 * i, 1);
  ParsedTheme parsed = wqt::parseThemeFile(file, s);
  ASSERT_EQ(parsed.status, S::Ok);
  doc.adopt(std::move(parsed));
  EXPECT_EQ(doc.slot(0xFFFF), Bytes{0});
  EXPECT_LT(doc.slotMemory(), 4u << 20);
}

TEST(ThemeFields, WidthLimits) {
  ThemeDocument doc;
  doc.create(settings());
  using R = ThemeDocument::FieldResult;
  const std::string cyr26(26, '\xC0'), cyr27(27, '\xC0');  // "А" in Windows-1251
  const struct {
    wqt::HeaderField field;
    std::string text;
    R result;
  } rows[] = {
      {wqt::kAuthorField, std::string(52, 'a'), R::Stored},
      {wqt::kAuthorField, std::string(53, 'a'), R::TooLong},
      {wqt::kNameField, cyr26, R::Stored},
      {wqt::kNameField, cyr27, R::TooLong},
      {wqt::kVersionField, "1.2.3", R::Stored},
      {wqt::kVersionField, "1.2.34", R::TooLong},
  };
  for (const auto& row : rows) {
    const Bytes before = doc.image();
    EXPECT_EQ(doc.setHeaderField(row.field, row.text), row.result) << row.text.size();
    if (row.result == R::TooLong) {
      EXPECT_EQ(doc.image(), before);
    }
  }
  EXPECT_EQ(doc.image()[140 + 4], '3');
  EXPECT_EQ(doc.image()[145], 0);
  const auto name = fieldBytes(doc, wqt::kNameField);
  std::string a26;
  for (int i = 0; i < 26; ++i) a26 += "А";
  EXPECT_EQ(std::string(name.begin(), name.end()), a26);
}

TEST(ThemeFields, WriteClearsTheWholeFieldAndExtendsTheImage) {
  ThemeDocument doc;
  doc.adopt(wqt::parseThemeFile(themeFile(kFiles), settings()));
  doc.setHeaderField(wqt::kAuthorField, "ab");
  Bytes expected(52, 0);
  expected[0] = 'a';
  expected[1] = 'b';
  const auto author = fieldBytes(doc, wqt::kAuthorField);
  EXPECT_EQ(Bytes(author.begin(), author.end()), expected);
  EXPECT_EQ(doc.image()[31],
            0xEE);  // bytes next to the field keep their content
  EXPECT_EQ(doc.image()[85], 0xD0);

  ThemeDocument blank;  // an image shorter than the field grows to the field's end
  EXPECT_EQ(blank.setHeaderField(wqt::kNameField, "\xC6"), ThemeDocument::FieldResult::Stored);
  ASSERT_EQ(blank.image().size(), 85u + 52);
  EXPECT_EQ(blank.image()[85], 0xD0);
  EXPECT_EQ(blank.image()[86], 0x96);
  blank.setThemeType(settings(), 1);
  EXPECT_EQ(blank.image().size(), 0x99u);
  EXPECT_EQ(typeByte(blank, settings()), 1);
}

// Whether the document counts as changed since it was opened, created or saved.
TEST(ThemeModified, FollowsWhatChanged) {
  const struct {
    const char* name;
    bool opened;  // adopt a file instead of create
    std::function<void(ThemeDocument&)> change;
    bool modified;
  } rows[] = {
      {"new author text", false, [](auto& d) { d.setHeaderField(wqt::kAuthorField, "x"); }, true},
      {"same author text", false,
       [](auto& d) { d.setHeaderField(wqt::kAuthorField, wqt::kNewAuthorCp1251); }, false},
      {"too long text", false, [](auto& d) { d.setHeaderField(wqt::kVersionField, "123456789"); },
       false},
      {"other type byte", true, [](auto& d) { d.setThemeType(settings(), 0); }, true},
      {"same type byte", true, [](auto& d) { d.setThemeType(settings(), 1); }, false},
      {"import", true, [](auto& d) { d.replaceSlot(1, {9}); }, true},
      {"refused import", true,
       [](auto& d) { EXPECT_THROW(d.replaceSlot(1, Bytes(wqt::kSlotCapacity + 1)), wqt::Error); },
       false},
      {"opened after a change", false,
       [](auto& d) {
         d.replaceSlot(1, {9});
         d.adopt(wqt::parseThemeFile(themeFile(kFiles), settings()));
       },
       false},
      {"created after a change", true,
       [](auto& d) {
         d.setHeaderField(wqt::kNameField, "x");
         d.create(settings());
       },
       false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ThemeDocument doc;
    if (row.opened) {
      doc.adopt(wqt::parseThemeFile(themeFile(kFiles), settings()));
    } else {
      doc.create(settings());
    }
    EXPECT_FALSE(doc.modified());
    row.change(doc);
    EXPECT_EQ(doc.modified(), row.modified);
  }
}

}  // namespace
