// Carrying a theme to another map: what each entry of the new map gets, and the file written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/file_io.h"
#include "jpeg_test_util.h"
#include "ops/entry_transfer.h"
#include "ops/theme_check.h"
#include "ops/theme_header.h"
#include "ops/theme_open.h"
#include "ops/theme_port.h"
#include "ops/theme_save.h"
#include "temp_dir.h"

namespace wqt {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr char kSign[] = "<ThemeSign \"ORVALEN-THEME\" \"WQT-THEME-FORMAT1\">\n";

// The old model: its type byte at 98h.
const std::string kOldMap = std::string(kSign) +
                            "<ThemeSettings \"9Ch\" \"100h\" \"6h\">\n"
                            "<ColorThemesSettings \"no\" \"98h\">\n"
                            "<group \"Меню\">\n"
                            "<file \"Фон\" \"0\" \"JPG\" \"16\" \"16\">\n"
                            "<file \"Иконка\" \"1\" \"RAW\" \"8\" \"8\">\n"
                            "</group \"\">\n"
                            "<file \"Часы\" \"2\" \"ANI2\" \"2\" \"2\">\n"
                            "<file \"Цвета\" \"3\" \"COLORTAB\" \"4h\">\n"
                            "<file \"Замок\" \"4\" \"RAW\" \"4\" \"4\">\n"
                            "<file \"Превью\" \"5\" \"JPG\" \"8\" \"8\">\n";

// A smaller model, its type byte and size table elsewhere, with a file the old one lacks; the
// lock and the preview change kind.
const std::string kNewMap = std::string(kSign) +
                            "<ThemeSettings \"A0h\" \"120h\" \"7h\">\n"
                            "<ColorThemesSettings \"no\" \"99h\">\n"
                            "<group \"Меню\">\n"
                            "<file \"Иконка\" \"0\" \"RAW\" \"4\" \"4\">\n"
                            "<file \"Фон\" \"1\" \"JPG\" \"8\" \"8\">\n"
                            "</group \"\">\n"
                            "<file \"Часы\" \"2\" \"ANI2\" \"2\" \"2\">\n"
                            "<file \"Цвета\" \"3\" \"COLORTAB\" \"4h\">\n"
                            "<file \"Замок\" \"4\" \"JPG\" \"8\" \"8\">\n"
                            "<file \"Превью\" \"5\" \"RAW\" \"4\" \"4\">\n"
                            "<file \"Новый\" \"6\" \"COLORTAB\" \"2h\">\n";

ThemeMap loaded(const test::TempDir& dir, const char* name, const std::string& text) {
  ThemeMap map;
  xml::ValueTable values;
  map.load(dir.write(name, text), values);
  return map;
}

// A theme of the map whose every entry passes its checks.
std::filesystem::path filledTheme(const test::TempDir& dir, const char* name, const ThemeMap& map) {
  ThemeDocument doc;
  createTheme(map, doc);
  for (std::size_t e = 0; e < map.entries().size(); ++e) {
    const FileEntry& entry = map.entries()[e];
    Bytes bytes = entry.kind == EntryKind::Jpg ? test::encodeJpeg(entry.width, entry.height)
                                               : Bytes(*expectedImportSize(entry), 0x40 + e);
    EXPECT_TRUE(importBytes(doc, map, static_cast<std::int32_t>(e), std::move(bytes)).stored());
  }
  setFieldUtf8(doc, kAuthorField, "Автор");
  setThemeType(doc, map.settings(), ThemeType::White);
  EXPECT_TRUE(saveTheme(doc, map.settings(), dir / name).saved());
  return dir / name;
}

TEST(ThemePort, EachEntryCarriedFittedFromTheBaseOrUnfilled) {
  test::TempDir dir;
  const ThemeMap oldMap = loaded(dir, "old.rxt", kOldMap);
  const ThemeMap newMap = loaded(dir, "new.rxt", kNewMap);
  const std::filesystem::path old = filledTheme(dir, "old.wqt", oldMap);
  const std::filesystem::path base = filledTheme(dir, "base.wqt", newMap);
  std::optional<ThemeFileSlots> oldFile, baseFile;
  ASSERT_TRUE(openThemeEntries(old, oldMap, oldFile).opened());
  ASSERT_TRUE(openThemeEntries(base, newMap, baseFile).opened());
  const ThemeEntries baseEntries = themeEntries(*baseFile);

  // Steps per entry of the new map: c carried, f fitted, b from the base, u unfilled.
  const struct {
    const char* name;
    const ThemeMap& to;
    bool withBase;
    std::string steps;
  } rows[] = {
      {"an identical copy of the map", oldMap, false, "cccccc"},
      {"a smaller model, JPG to RAW and RAW to JPG", newMap, true, "ffccffb"},
      {"a file nothing fills", newMap, false, "ffccffu"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::filesystem::path out = dir / "out.wqt";
    std::filesystem::remove(out);
    const PortOutcome outcome = portTheme(oldMap, themeEntries(*oldFile), row.to,
                                          row.withBase ? &baseEntries : nullptr, {}, out);
    std::string steps;
    for (const PortedEntry& e : outcome.entries) steps += "cfbu"[static_cast<int>(e.step)];
    EXPECT_EQ(steps, row.steps);
    EXPECT_EQ(outcome.written(), row.steps.find('u') == std::string::npos);
    if (!outcome.written()) {
      EXPECT_FALSE(std::filesystem::exists(out));
      continue;
    }
    EXPECT_TRUE(checkTheme(row.to, out).empty());
    // The header's texts and type, wherever the map puts the type byte.
    ThemeDocument ported;
    ASSERT_TRUE(openTheme(out, row.to, ported).opened());
    const HeaderView header = viewHeader(ported.image(), row.to.settings());
    EXPECT_EQ(header.fields, viewHeader(oldFile->image(), oldMap.settings()).fields);
    EXPECT_EQ(header.type.type, ThemeType::White);
    if (&row.to == &oldMap) {
      EXPECT_EQ(readWholeFile(out), readWholeFile(old));
    }
  }
}

}  // namespace
}  // namespace wqt
