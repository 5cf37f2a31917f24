// The operation layer's outcomes: one table per operation, over a three-entry map and a theme
// built through the operations themselves.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "error_of.h"
#include "files/jpeg_decoder.h"
#include "files/png_picture.h"
#include "jpeg_test_util.h"
#include "ops/entry_fit.h"
#include "ops/entry_transfer.h"
#include "ops/picture_error_text.h"
#include "ops/theme_check.h"
#include "ops/theme_folder.h"
#include "ops/theme_header.h"
#include "ops/theme_open.h"
#include "ops/theme_save.h"
#include "temp_dir.h"
#include "theme/theme_layout.h"

// jerror.h after jpeglib.h: the message codes the library reports.
#include <jerror.h>

namespace wqt {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr char kMap[] =
    "<ThemeSign \"ORVALEN-THEME\" \"WQT-THEME-FORMAT1\">\n"
    "<ThemeSettings \"9Ch\" \"100h\" \"3h\">\n"
    "<ColorThemesSettings \"no\" \"98h\">\n"
    "<file \"Обои\" \"0\" \"RAW\" \"2\" \"2\">\n"
    "<file \"Таблица\" \"1\" \"COLORTAB\" \"4h\">\n"
    "<file \"Картинка\" \"2\" \"JPG\" \"4\" \"4\">\n";

Bytes rawPicture() {
  return Bytes(8, 0x5A);
}

class Ops : public ::testing::Test {
 protected:
  void SetUp() override {
    xml::ValueTable values;
    ASSERT_EQ(map.load(dir.write("theme.rxt", kMap), values), ThemeMap::LoadResult::Loaded);
    createTheme(map, doc);
    ASSERT_TRUE(importBytes(doc, map, 0, rawPicture()).stored());
    ASSERT_TRUE(importBytes(doc, map, 1, Bytes{1, 2, 3, 4}).stored());
    ASSERT_TRUE(importBytes(doc, map, 2, test::encodeJpeg(4, 4)).stored());
    theme = dir / "theme.wqt";
    ASSERT_TRUE(saveTheme(doc, map.settings(), theme).saved());
  }

  test::TempDir dir;
  ThemeMap map;
  ThemeDocument doc;
  std::filesystem::path theme;
};

TEST_F(Ops, OpenRefusals) {
  const struct {
    const char* name;
    std::function<void(Bytes&)> change;
    OpenRefusal refusal;
    std::int32_t tooLargeEntry;
  } rows[] = {
      {"as saved", [](Bytes&) {}, OpenRefusal::None, -1},
      {"signature 1", [](Bytes& b) { b[0] ^= 1; }, OpenRefusal::Signature1, -1},
      {"signature 2", [](Bytes& b) { b[20] ^= 1; }, OpenRefusal::Signature2, -1},
      {"slot too large",
       [](Bytes& b) {
         writeU32LE(b, 0x9C + 4, kSlotCapacity + 1);
         b.resize(b.size() + kSlotCapacity + 1);
       },
       OpenRefusal::SlotTooLarge, 1},
      {"cut short", [](Bytes& b) { b.resize(0x100 + 3); }, OpenRefusal::CutShort, -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Bytes bytes = readWholeFile(theme);
    row.change(bytes);
    const auto path = dir.write("changed.wqt", bytes);
    ThemeDocument opened;
    const OpenOutcome outcome = openTheme(path, map, opened);
    EXPECT_EQ(outcome.refusal, row.refusal);
    EXPECT_EQ(outcome.tooLargeEntry, row.tooLargeEntry);
    EXPECT_EQ(opened.hasImage(), outcome.opened());
    std::optional<ThemeFileSlots> entries;
    EXPECT_EQ(openThemeEntries(path, map, entries).refusal, row.refusal);
    EXPECT_EQ(entries.has_value(), outcome.opened());
  }
  // A file that cannot be read carries the system's errno, not a text to compare.
  const OpenOutcome missing = openTheme(dir / "absent.wqt", map, doc);
  ASSERT_EQ(missing.refusal, OpenRefusal::Unreadable);
  EXPECT_EQ(missing.error->code(), ErrorCode::FileOpen);
  EXPECT_EQ(missing.error->systemError(), ENOENT);
  EXPECT_EQ(openTheme(dir.path(), map, doc).error->systemError(), EISDIR);
}

TEST_F(Ops, SaveRefusalsComeBeforeAnyWrite) {
  ThemeDocument empty;
  createTheme(map, empty);
  const struct {
    const char* name;
    const ThemeDocument* doc;
    std::function<void(MapSettings&)> change;
    SaveRefusal refusal;
    OpenRefusal reopen;
  } rows[] = {
      {"complete", &doc, [](MapSettings&) {}, SaveRefusal::None, OpenRefusal::None},
      {"missing file", &empty, [](MapSettings&) {}, SaveRefusal::MissingFile, OpenRefusal::None},
      {"data inside the header", &doc, [](MapSettings& s) { s.dataOffset = 0x50; },
       SaveRefusal::LayoutOverlaps, OpenRefusal::None},
      {"other signature", &doc, [](MapSettings& s) { s.signature1 = "ORVALEN-THEMX"; },
       SaveRefusal::WouldNotReopen, OpenRefusal::Signature1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    MapSettings settings = map.settings();
    row.change(settings);
    const SaveOutcome outcome = checkSave(*row.doc, settings);
    EXPECT_EQ(outcome.refusal, row.refusal);
    EXPECT_EQ(outcome.reopen.refusal, row.reopen);
  }
  // A save clears the modified flag; a refused one writes nothing.
  setThemeType(doc, map.settings(), ThemeType::White);
  ASSERT_TRUE(doc.modified());
  EXPECT_TRUE(saveTheme(doc, map.settings(), dir / "again.wqt").saved());
  EXPECT_FALSE(doc.modified());
  EXPECT_FALSE(saveTheme(empty, map.settings(), dir / "never.wqt").saved());
  EXPECT_FALSE(std::filesystem::exists(dir / "never.wqt"));
  EXPECT_EQ(saveTarget("/a/b.theme"), "/a/b.wqt");
}

TEST_F(Ops, ImportRefusalsCarryWhatTheMessageNeeds) {
  const Bytes png = encodePng({2, 2, Bytes(12, 0x80)});
  const Bytes widePng = encodePng({3, 2, Bytes(18, 0x80)});
  const struct {
    const char* name;
    std::int32_t entry;
    Bytes content;
    RawFormat as;
    ImportRefusal refusal;
    std::uint64_t foundSize;
    int pictureWidth;
    std::optional<ErrorCode> error;
  } rows[] = {
      {"RAW of its size", 0, rawPicture(), RawFormat::Raw, ImportRefusal::None, 8, 0, {}},
      {"RAW of another size", 0, Bytes(9), RawFormat::Raw, ImportRefusal::WrongSize, 9, 0, {}},
      {"no such entry", 3, rawPicture(), RawFormat::Raw, ImportRefusal::NoSlot, 0, 0, {}},
      {"PNG for RAW", 0, png, RawFormat::Png, ImportRefusal::None, png.size(), 0, {}},
      {"PNG of other width",
       0,
       widePng,
       RawFormat::Png,
       ImportRefusal::Dimensions,
       widePng.size(),
       3,
       {}},
      {"no PNG", 0, Bytes(40, 1), RawFormat::Png, ImportRefusal::PictureUnreadable, 40, 0,
       ErrorCode::Png},
      // The window keeps the library's error; the format is told beside it.
      {"PNG for JPG", 2, png, RawFormat::Raw, ImportRefusal::PictureUnreadable, png.size(), 0,
       ErrorCode::Jpeg},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const ImportOutcome outcome =
        importFile(doc, map, row.entry, dir.write("offered", row.content), row.as);
    EXPECT_EQ(outcome.refusal, row.refusal);
    if (row.foundSize != 0) {
      EXPECT_EQ(outcome.foundSize, row.foundSize);
    }
    EXPECT_EQ(outcome.pictureWidth, row.pictureWidth);
    EXPECT_EQ(outcome.error ? std::optional(outcome.error->code()) : std::nullopt, row.error);
    EXPECT_EQ(outcome.stored(), outcome.message.empty());
  }
  EXPECT_STREQ(importFile(doc, map, 2, dir.write("offered", png), RawFormat::Raw).otherFormat,
               "PNG");
  EXPECT_EQ(importBytes(doc, map, 1, Bytes(5)).refusal, ImportRefusal::WrongSize);
  EXPECT_EQ(exportBytes(*map.entry(0), doc.entryData(0), RawFormat::Png).size(),
            rawToPng(*map.entry(0), rawPicture()).size());
  EXPECT_EQ(exportTarget(*map.entry(2), "/x/Картинка.bmp", RawFormat::Png), "/x/Картинка.jpg");
}

// Fitting is offered only for a picture it would store: of a format read, and whole.
TEST_F(Ops, FittingWouldStoreOnlyAWholePictureOfAFormatRead) {
  const Bytes png = encodePng({6, 3, Bytes(54, 0x80)});
  const struct {
    const char* name;
    std::int32_t entry;
    Bytes content;
    bool helps;
  } rows[] = {
      {"PNG for JPG", 2, png, true},
      {"JPEG for RAW", 0, test::encodeJpeg(8, 8), true},
      {"RAW bytes for JPG", 2, rawPicture(), false},
      {"PNG cut short", 2, Bytes(png.begin(), png.begin() + 40), false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(
        fittingWouldStore(*map.entry(row.entry), dir.write("offered", row.content), RawFormat::Raw),
        row.helps)
        << row.name;
  }
}

TEST_F(Ops, HeaderAsShownAndAsSet) {
  const struct {
    const char* name;
    const HeaderField& field;
    std::string text;
    bool stored;
    std::size_t utf8Bytes;
  } rows[] = {
      {"fits", kVersionField, "2.0", true, 3},
      {"Cyrillic takes two bytes", kVersionField, "в.1.0", false, 6},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const FieldOutcome outcome = setFieldUtf8(doc, row.field, row.text);
    EXPECT_EQ(outcome.stored, row.stored);
    EXPECT_EQ(outcome.utf8Bytes, row.utf8Bytes);
    if (row.stored) {
      EXPECT_EQ(fieldText(doc.image(), row.field).shown, row.text);
    }
  }
  EXPECT_EQ(themeTypeOfKey("white"), ThemeType::White);
  EXPECT_EQ(themeTypeOfKey("grey"), std::nullopt);
  EXPECT_STREQ(themeTypeName(ThemeType::Black), "Черная тема");
  doc.setThemeType(map.settings(), 7);
  const TypeView type = themeTypeOf(doc.image(), map.settings());
  EXPECT_TRUE(type.shown);
  EXPECT_EQ(type.byte, 7);
  EXPECT_FALSE(type.type);  // no item selected
}

TEST_F(Ops, UnpackThenPackGivesTheThemeBack) {
  const struct {
    const char* name;
    std::function<std::filesystem::path()> target;
    UnpackOutcome::Refusal refusal;
  } rows[] = {
      {"a file", [&] { return dir.write("file", "x"); }, UnpackOutcome::Refusal::TargetIsFile},
      {"a folder with files",
       [&] {
         std::filesystem::create_directory(dir / "full");
         dir.write("full/x", "x");
         return dir / "full";
       },
       UnpackOutcome::Refusal::TargetNotEmpty},
      {"a new folder", [&] { return dir / "out"; }, UnpackOutcome::Refusal::None},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(unpackTheme(map, theme, row.target(), RawFormat::Png, {}).refusal, row.refusal);
  }
  const PackOutcome packed = packTheme(map, dir / "out", dir / "packed.wqt", {});
  EXPECT_TRUE(packed.written());
  EXPECT_EQ(readWholeFile(dir / "packed.wqt"), readWholeFile(theme));

  // Nothing is written while a file is wrong; each problem names its entry.
  std::filesystem::remove(dir / "out" / "Таблица.tab");
  dir.write("out/Обои.png", "no picture");
  const PackOutcome refused = packTheme(map, dir / "out", dir / "refused.wqt", {});
  ASSERT_EQ(refused.problems.size(), 2u);
  EXPECT_EQ(refused.problems[0].kind, ThemeProblem::Kind::Refused);
  EXPECT_EQ(refused.problems[0].import.refusal, ImportRefusal::PictureUnreadable);
  EXPECT_EQ(refused.problems[1].kind, ThemeProblem::Kind::FileAbsent);
  EXPECT_EQ(refused.problems[1].where, "Таблица");
  EXPECT_FALSE(std::filesystem::exists(dir / "refused.wqt"));

  // An interruption leaves nothing behind.
  const RunHooks stop{{}, [] { return true; }};
  EXPECT_EQ(unpackTheme(map, theme, dir / "stopped", RawFormat::Raw, stop).refusal,
            UnpackOutcome::Refusal::Stopped);
  EXPECT_FALSE(std::filesystem::exists(dir / "stopped"));
}

// A theme.json that would cost far more memory than it holds, or that lies elsewhere, is refused
// before any of it is used.
TEST_F(Ops, OutsizedOrLinkedThemeJsonIsRefused) {
  const auto files = [](const std::string& items) { return "{\"files\": [" + items + "]}"; };
  std::string manyObjects;
  for (int i = 0; i < 500000; ++i) manyObjects += "{},";
  const struct {
    const char* name;
    std::string text;  // empty: a link to another folder's theme.json
    std::string error;
  } rows[] = {
      {"a long string", files("{\"index\": 0, \"path\": \"" + std::string(300000, 'a') + "\"}"),
       "theme.json: строка длиннее 256 КиБ"},
      {"a path no file system takes",
       files("{\"index\": 0, \"file\": \"" + std::string(5000, 'a') + "\"}"),
       "theme.json: путь «file» длиннее 4095 байт"},
      {"many empty objects", files(manyObjects + "{}"), "должен быть номер «index»"},
      {"a link", "", "theme.json: это символическая ссылка"},
  };
  ASSERT_EQ(unpackTheme(map, theme, dir / "out", RawFormat::Raw, {}).refusal,
            UnpackOutcome::Refusal::None);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::filesystem::path folder = dir / row.name;
    std::filesystem::copy(dir / "out", folder, std::filesystem::copy_options::recursive);
    std::filesystem::remove(folder / "theme.json");
    if (row.text.empty()) {
      std::filesystem::create_symlink(dir / "out" / "theme.json", folder / "theme.json");
    } else {
      dir.write(std::string(row.name) + "/theme.json", row.text);
    }
    const std::string error = test::errorOf([&] { packTheme(map, folder, dir / "p.wqt", {}); });
    EXPECT_NE(error.find(row.error), std::string::npos) << error.substr(0, 200);
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "p.wqt"));
}

// New files and folders get the modes the umask leaves them; a replaced theme keeps its own.
TEST_F(Ops, WrittenFilesGetTheUsualModes) {
  const auto modeOf = [](const std::filesystem::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
  };
  const mode_t masks[] = {022, 077};
  for (const mode_t mask : masks) {
    SCOPED_TRACE(mask);
    const std::string name = "mask" + std::to_string(mask);
    ::chmod(theme.c_str(), 0640);
    const mode_t before = ::umask(mask);
    EXPECT_TRUE(saveTheme(doc, map.settings(), dir / (name + ".wqt")).saved());
    EXPECT_TRUE(saveTheme(doc, map.settings(), theme).saved());
    EXPECT_EQ(unpackTheme(map, theme, dir / name, RawFormat::Raw, {}).refusal,
              UnpackOutcome::Refusal::None);
    ::umask(before);
    EXPECT_EQ(modeOf(dir / (name + ".wqt")), 0666 & ~mask);
    EXPECT_EQ(modeOf(theme), 0640u);
    EXPECT_EQ(modeOf(dir / name), 0777 & ~mask);
    EXPECT_EQ(modeOf(dir / name / "theme.json"), 0666 & ~mask);
  }
}

TEST_F(Ops, CheckNamesEachProblem) {
  Bytes bytes = readWholeFile(theme);
  writeU32LE(bytes, 0x9C + 8, 0);  // the picture's size: now missing
  const auto path = dir.write("missing.wqt", bytes);
  const std::vector<ThemeProblem> problems = checkTheme(map, path);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].kind, ThemeProblem::Kind::MissingFile);
  EXPECT_EQ(problems[0].where, "Картинка");
  EXPECT_TRUE(checkTheme(map, theme).empty());
  EXPECT_THROW(checkTheme(map, dir / "absent.wqt"), Error);
}

TEST(PictureErrorText, SaysWhatTheJpegLibraryMetKeepingItsCode) {
  const struct {
    Error error;
    std::string text;
  } rows[] = {
      // A copy as wqt::Error, as an import outcome keeps it.
      {JpegError(JERR_NO_SOI, false), "Файл не является рисунком JPEG или повреждён (JPEG error #" +
                                          std::to_string(JERR_NO_SOI) + ")."},
      {JpegError(JERR_BAD_SCAN_SCRIPT, true),
       "Рисунок JPEG состоит из слишком многих или слишком долгих проходов (сканов) (JPEG error #" +
           std::to_string(JERR_BAD_SCAN_SCRIPT) + ")."},
      {JpegError(JERR_BAD_HUFF_TABLE, true),
       "Рисунок JPEG повреждён (JPEG error #" + std::to_string(JERR_BAD_HUFF_TABLE) + ")."},
      {Error("PNG error: file cut short", ErrorCode::Png), "PNG error: file cut short"},
  };
  for (const auto& row : rows) EXPECT_EQ(pictureErrorText(row.error), row.text);
}

}  // namespace
}  // namespace wqt
