// A theme at a glance: its thumbnail picture and its HTML catalogue, with the text and data
// encodings the page needs.
#include <gtest/gtest.h>

#include <string>

#include "base/file_io.h"
#include "files/png_picture.h"
#include "jpeg_test_util.h"
#include "ops/html_text.h"
#include "ops/theme_catalogue.h"
#include "ops/theme_thumbnail.h"
#include "temp_dir.h"
#include "theme/theme_messages.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using wqt::test::TempDir;

TEST(HtmlText, NeverBecomesMarkup) {
  const struct {
    std::string in, out;
  } rows[] = {
      {"<script>alert('x')</script>", "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"},
      {"a & \"b\"", "a &amp; &quot;b&quot;"},
      {"Камера", "Камера"},
      {"\x01\t\x7f", "\xE2\x90\x81\xE2\x90\x89\xE2\x90\xA1"},  // visible control symbols
  };
  for (const auto& row : rows) EXPECT_EQ(wqt::htmlText(row.in), row.out) << row.in;
}

TEST(Base64, PadsEveryLength) {
  const struct {
    std::string in, out;
  } rows[] = {{"", ""},
              {"f", "Zg=="},
              {"fo", "Zm8="},
              {"foo", "Zm9v"},
              {"foob", "Zm9vYg=="},
              {"\xFF\xFE\xFD", "//79"},
              {"\xFB\xFF", "+/8="}};
  for (const auto& row : rows) {
    std::string out = "x";
    wqt::appendBase64(
        out, std::span(reinterpret_cast<const std::uint8_t*>(row.in.data()), row.in.size()));
    EXPECT_EQ(out, "x" + row.out);
  }
}

// A theme of the map's entries, each slot filled by `fill` (empty for a missing file).
class Overview : public ::testing::Test {
 protected:
  void load(const std::string& files) {
    const std::string text =
        "<ThemeSign \"ORVALEN-THEME\" \"WQT-THEME-FORMAT1\">\n<ThemeSettings \"9Ch\" \"100h\" \"" +
        std::to_string(std::count(files.begin(), files.end(), '\n')) + "\">\n" + files;
    map.load(dir.write("theme.rxt", text), values);
  }
  wqt::ThemeFileSlots theme(const std::vector<Bytes>& slots) {
    wqt::ThemeDocument doc;
    doc.create(map.settings());
    doc.setHeaderField(wqt::kAuthorField, "<i>\xDF</i>");  // "Я" in Windows-1251
    for (std::size_t i = 0; i < slots.size(); ++i) doc.replaceSlot(i + 1, slots[i]);
    wqt::writeFileReplacing(dir / "t.wqt", doc.rebuildForSave(map.settings()));
    return wqt::ThemeFileSlots(dir / "t.wqt", map.settings());
  }
  TempDir dir;
  wqt::xml::ValueTable values;
  wqt::ThemeMap map;
};

Bytes solidJpeg(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  wqt::test::JpegRecipe recipe;
  recipe.width = width;
  recipe.height = height;
  recipe.fill = wqt::test::JpegFill::Solid;
  recipe.r = r, recipe.g = g, recipe.b = b;
  return wqt::test::encodeJpeg(recipe);
}

TEST_F(Overview, ThumbnailTakesTheFirstPresentJpgElseTheFirstRaw) {
  load(
      "<file \"c\" \"0\" \"COLORTAB\" \"4\">\n<file \"r\" \"0\" \"RAW\" \"2\" \"1\">\n"
      "<file \"j\" \"0\" \"JPG\" \"8\" \"8\">\n<file \"k\" \"0\" \"JPG\" \"8\" \"8\">\n");
  const Bytes colours(4, 1), raw(4, 2), jpeg = solidJpeg(8, 8, 0, 0, 0);
  const struct {
    std::vector<Bytes> slots;
    std::optional<std::int32_t> entry;
  } rows[] = {
      {{colours, raw, jpeg, jpeg}, 2},
      {{colours, raw, {}, jpeg}, 3},
      {{colours, raw, {}, {}}, 1},
      {{colours, {}, {}, {}}, std::nullopt},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(wqt::thumbnailEntry(map, theme(row.slots)), row.entry);
  }
}

TEST_F(Overview, ThumbnailFitsInsideTheSquareKeepingAspectAndColour) {
  const struct {
    const char* kind;
    int width, height, size, thumbWidth, thumbHeight;
  } rows[] = {
      {"JPG", 300, 100, 256, 256, 85}, {"JPG", 100, 300, 128, 43, 128},
      {"JPG", 40, 30, 256, 40, 30},    {"RAW", 64, 48, 32, 32, 24},
      {"RAW", 1, 1, 256, 1, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.kind) + " " + std::to_string(row.width));
    wqt::FileEntry entry{wqt::entryKindOf(row.kind), row.kind,
                         static_cast<std::uint16_t>(row.width),
                         static_cast<std::uint16_t>(row.height), 0};
    // Pure red: RGB565 0xF800 shows as (248, 0, 0).
    const Bytes data =
        std::string(row.kind) == "JPG" ? solidJpeg(row.width, row.height, 248, 0, 0) : [&] {
          Bytes words;
          for (int i = 0; i < row.width * row.height; ++i) {
            words.insert(words.end(), {0x00, 0xF8});
          }
          return words;
        }();
    const wqt::RgbPicture thumb = wqt::thumbnailPicture(entry, data, row.size);
    EXPECT_EQ(thumb.width, row.thumbWidth);
    EXPECT_EQ(thumb.height, row.thumbHeight);
    for (std::size_t i = 0; i < thumb.rgb.size(); i += 3) {
      ASSERT_NEAR(thumb.rgb[i], 248, 3);
      ASSERT_NEAR(thumb.rgb[i + 1], 0, 3);
      ASSERT_NEAR(thumb.rgb[i + 2], 0, 3);
    }
  }
  // What is no picture fails as a picture does.
  const wqt::FileEntry jpg{wqt::EntryKind::Jpg, "JPG", 8, 8, 0},
      raw{wqt::EntryKind::Raw, "RAW", 8, 8, 0};
  EXPECT_THROW(wqt::thumbnailPicture(jpg, Bytes(100, 0), 256), wqt::Error);
  EXPECT_THROW(wqt::thumbnailPicture(raw, Bytes(127, 0), 256), wqt::Error);
}

TEST_F(Overview, CatalogueEmbedsEveryFileByGroupAndEscapesEveryText) {
  load(
      "<group \"Меню <b>\">\n<file \"<script>alert(1)</script>\" \"0\" \"JPG\" \"8\" \"8\">\n"
      "<group \"Вложенная\">\n<file \"r\" \"0\" \"RAW\" \"2\" \"1\">\n</group \"\">\n"
      "<file \"a & 'b'\" \"0\" \"JPG\" \"8\" \"8\">\n</group \"\">\n"
      "<file \"c\" \"0\" \"COLORTAB\" \"4\">\n<file \"short\" \"0\" \"RAW\" \"2\" \"2\">\n");
  const Bytes jpeg = solidJpeg(8, 8, 10, 20, 30), raw = {0x00, 0xF8, 0xE0, 0x07};
  const wqt::ThemeFileSlots file = theme({jpeg, raw, {}, Bytes(4, 1), Bytes(6, 0)});
  std::string page;
  wqt::writeCatalogue(map, file, "t & <t>.wqt", [&](std::string_view text) { page += text; });

  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  EXPECT_EQ(page.find("<i>"), std::string::npos);
  const auto at = [&](const std::string& text) { return page.find(text); };
  std::string jpegUri = "data:image/jpeg;base64,", pngUri = "data:image/png;base64,";
  wqt::appendBase64(jpegUri, jpeg);
  wqt::appendBase64(pngUri, wqt::rawToPng(*map.entry(1), raw));
  // In the tree's order, each run of files under its group's path; the text of every caption.
  const std::vector<std::string> inOrder = {
      "<title>t &amp; &lt;t&gt;.wqt</title>",
      "<dt>Автор темы</dt><dd>&lt;i&gt;Я&lt;/i&gt;</dd>",
      "<h2>Меню &lt;b&gt;</h2>",
      jpegUri,
      "alt=\"Меню &lt;b&gt;/&lt;script&gt;alert(1)&lt;/script&gt;\"",
      "<h2>Меню &lt;b&gt;/Вложенная</h2>",
      pngUri,
      "<h2>Меню &lt;b&gt;</h2>",
      wqt::kMissingFileText,
      "Меню &lt;b&gt;/a &amp; &#39;b&#39;",
      "<dd>COLORTAB</dd><dt>Размер по карте</dt><dd>4 б</dd>",
      wqt::kShortRawNote,
      "</html>",
  };
  std::size_t from = 0;
  for (const std::string& text : inOrder) {
    const std::size_t found = page.find(text, from);
    ASSERT_NE(found, std::string::npos) << text;
    from = found + text.size();
  }
  EXPECT_LT(at("<!DOCTYPE html>\n<html lang=\"ru\">"), at("<meta charset=\"utf-8\">"));
  EXPECT_NE(at("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"),
            std::string::npos);
}

}  // namespace
