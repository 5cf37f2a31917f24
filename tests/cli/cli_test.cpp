// End to end: the built orvalen-wqt run over generated themes, as a user or a script runs it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <csignal>

#include <nlohmann/json.hpp>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "../core/fit_test_util.h"
#include "../core/jpeg_test_util.h"
#include "../core/picture_formats_util.h"
#include "../core/temp_dir.h"
#include "base/core_error.h"
#include "base/file_io.h"
#include "cli_run.h"
#include "files/file_kind.h"
#include "files/import_export.h"
#include "files/png_picture.h"
#include "fit/fit_picture.h"
#include "map/theme_map.h"
#include "theme/theme_document.h"
#include "theme/theme_messages.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using wqt::test::TempDir;

using wqt::test::finish;
using wqt::test::Outcome;
using wqt::test::run;
using wqt::test::start;
using wqt::test::text;

wqt::ThemeMap loadMap(const fs::path& path) {
  wqt::ThemeMap map;
  wqt::xml::ValueTable values;
  map.load(path, values);
  return map;
}

// A file every import check accepts for the entry, its bytes derived from the entry number.
Bytes validFile(const wqt::FileEntry& entry, std::size_t e) {
  const auto kind = wqt::kindInfo(entry.kind);
  if (kind && kind->kind == wqt::FileKind::Jpg) {
    return wqt::test::encodeJpeg(entry.width, entry.height);
  }
  Bytes bytes(static_cast<std::size_t>(*wqt::expectedImportSize(entry)));
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(e * 31 + i);
  return bytes;
}

// A theme as the editor writes it: every file imported, header fields stored, type 1, and bytes
// the editor carries unchanged set in the header.
fs::path editorTheme(const TempDir& dir, const fs::path& mapPath, const std::string& name) {
  const wqt::ThemeMap map = loadMap(mapPath);
  wqt::ThemeDocument doc;
  doc.create(map.settings());
  for (std::size_t e = 0; e < map.settings().fileCount; ++e) {
    doc.replaceSlot(e + 1, validFile(map.entries()[e], e));
  }
  doc.setHeaderField(wqt::kAuthorField, "\xC0\xE2\xF2\xEE\xF0");  // "Автор"
  if (map.settings().hasTypeByte()) doc.setThemeType(map.settings(), 1);
  wqt::ParsedTheme parsed =
      wqt::parseThemeFile(wqt::joinParts(doc.rebuildForSave(map.settings())), map.settings());
  parsed.image[13] = 0x5A;  // not interpreted, kept by every save
  parsed.image[150] = 0x42;
  doc.adopt(std::move(parsed));
  const fs::path path = dir / name;
  wqt::writeFileReplacing(path, doc.rebuildForSave(map.settings()));
  return path;
}

// Maps of the tests: the sample, nested groups of every kind, captions no file system takes as
// they are, and one without a type byte.
std::string unsafeMap() {
  return "<ThemeSign \"ORVALEN-THEME\" \"WQT-THEME-FORMAT1\">\n"
         "<ThemeSettings \"9Ch\" \"100h\" \"8\">\n"
         "<group \"..\">\n<file \"../../escape\" \"0\" \"RAW\" \"2\" \"2\">\n"
         "<file \"/etc/passwd\" \"1\" \"COLORTAB\" \"4\">\n</group \"\">\n"
         "<group \"a\\b\">\n<file \"\x01\x1f\" \"2\" \"ANI2\" \"1\" \"1\">\n</group \"\">\n"
         "<file \".\" \"3\" \"COLORTAB\" \"2\">\n<file \".\" \"4\" \"COLORTAB\" \"3\">\n"
         "<file \"" +
         std::string(400, 'x') + "\" \"5\" \"RAW\" \"1\" \"1\">\n" +
         // Top-level names that theme.json keeps for itself.
         "<group \"theme.json\">\n<file \"x\" \"6\" \"COLORTAB\" \"2\">\n</group \"\">\n"
         "<group \"theme (2).json\">\n<file \"y\" \"7\" \"COLORTAB\" \"2\">\n</group \"\">\n";
}

std::string nestedMap() {
  std::string m =
      "<ThemeSign \"ORVALEN-THEME\" \"WQT-THEME-FORMAT1\">\n<ThemeSettings \"9Ch\" \"200h\" "
      "\"28\">\n"
      "<ColorThemesSettings \"no\" \"98h\">\n";
  static const char* const kKinds[] = {"JPG\" \"8\" \"16", "RAW\" \"8\" \"4", "ANI2\" \"3\" \"2",
                                       "COLORTAB\" \"40"};
  for (int i = 0; i < 40; ++i) {
    if (i % 10 == 0)
      m += "<group \"Группа " + std::to_string(i / 10) + "\">\n<group \"Вложенная\">\n";
    m += "<file \"Файл " + std::to_string(i % 3) + "\" \"0\" \"" + kKinds[i % 4] + "\">\n";
    if (i % 10 == 9) m += "</group \"\">\n</group \"\">\n";
  }
  return m;
}

class Cli : public testing::Test {
 protected:
  fs::path writeMap(const std::string& name, const std::string& content) {
    return dir.write(name, content);
  }
  TempDir dir;
};

TEST_F(Cli, UnpackThenPackGivesTheSameThemeForEveryMap) {
  const struct {
    const char* name;
    std::string map;
  } maps[] = {
      {"sample", text(WQT_SAMPLE_MAP)},
      {"nested", nestedMap()},
      {"unsafe", unsafeMap()},
      {"no-type", text(WQT_SAMPLE_MAP).replace(text(WQT_SAMPLE_MAP).find("<ColorThemes"), 11, ";")},
  };
  for (const auto& m : maps) {
    for (const char* raw : {"--raw-bytes", "--png"}) {
      SCOPED_TRACE(std::string(m.name) + " " + raw);
      const fs::path map = writeMap(std::string(m.name) + ".rxt", m.map);
      const fs::path theme = editorTheme(dir, map, "in.wqt");
      const fs::path folder = dir / (std::string(m.name) + raw);
      std::vector<std::string> unpack = {"--map", map, "unpack", theme, folder};
      if (std::string(raw) == "--png") unpack.push_back(raw);
      ASSERT_EQ(run(dir, unpack).status, 0) << run(dir, unpack).err;
      // Everything stays inside the folder.
      for (const auto& f : fs::recursive_directory_iterator(folder)) {
        for (const fs::path& part : fs::relative(f.path(), folder)) {
          EXPECT_TRUE(part != ".." && part != "." && part.string().size() <= 255) << f.path();
        }
      }
      const Outcome pack = run(dir, {"--map", map, "pack", folder, dir / "out.wqt"});
      ASSERT_EQ(pack.status, 0) << pack.err;
      EXPECT_EQ(wqt::readWholeFile(dir / "out.wqt"), wqt::readWholeFile(theme));
      EXPECT_EQ(run(dir, {"--map", map, "check", dir / "out.wqt"}).status, 0);
    }
  }
}

TEST_F(Cli, CheckReportsBrokenThemesWithTheEditorsTexts) {
  const wqt::ThemeMap map = loadMap(WQT_SAMPLE_MAP);
  const Bytes good = wqt::readWholeFile(editorTheme(dir, WQT_SAMPLE_MAP, "good.wqt"));
  const auto slotOffset = [&](std::size_t entry) {
    std::size_t offset = map.settings().dataOffset;
    for (std::size_t i = 0; i < entry; ++i) offset += wqt::readU32LE(good, 0x9C + 4 * i);
    return offset;
  };
  const struct {
    const char* name;
    std::function<void(Bytes&)> damage;
    int status;
    std::string message;
  } cases[] = {
      {"good", [](Bytes&) {}, 0, ""},
      {"cut", [](Bytes& b) { b.pop_back(); }, 1, wqt::kStreamReadError},
      {"signature1", [](Bytes& b) { b[0] ^= 1; }, 1, wqt::kSignature1Status},
      {"signature2", [](Bytes& b) { b[20] ^= 1; }, 1, wqt::kSignature2Status},
      {"too large", [](Bytes& b) { wqt::writeU32LE(b, 0x9C + 4 * 3, 524289); }, 1,
       "Цифры часов: " + std::string(wqt::kSlotTooLargeStatus)},
      {"missing", [](Bytes& b) { b = wqt::readWholeFile(WQT_CLI); }, 1, wqt::kSignature1Status},
      {"empty slot",
       [&](Bytes& b) {
         const std::uint32_t size = wqt::readU32LE(b, 0x9C + 4 * 12);
         b.erase(b.begin() + slotOffset(12), b.begin() + slotOffset(12) + size);
         wqt::writeU32LE(b, 0x9C + 4 * 12, 0);
       },
       1, "Цвета/Цвета меню: " + std::string(wqt::kMissingFileText)},
      {"not a jpeg", [&](Bytes& b) { b[slotOffset(7)] = 'X'; }, 1,
       "Меню/Иконки меню/Камера: Файл не является рисунком JPEG или повреждён (JPEG error #53)."},
      {"raw size",
       [&](Bytes& b) {
         b.insert(b.begin() + slotOffset(15) - 1, 7);
         wqt::writeU32LE(b, 0x9C + 4 * 14, wqt::readU32LE(b, 0x9C + 4 * 14) + 1);
       },
       1, "Экран блокировки/Замок: " + std::string(wqt::kWrongSizeMessage)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes theme = good;
    c.damage(theme);
    const fs::path path = dir.write("t.wqt", theme);
    const Outcome result = run(dir, {"--map", WQT_SAMPLE_MAP, "check", path});
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  }
  // A JPEG of other dimensions, and a file that is no theme at all.
  const fs::path swapped = dir.write("s.jpg", wqt::test::encodeJpeg(160, 120));
  const Outcome replace =
      run(dir, {"--map", WQT_SAMPLE_MAP, "replace", dir / "good.wqt", "0", swapped});
  EXPECT_EQ(replace.status, 1);
  EXPECT_NE(replace.err.find(wqt::dimensionMessage(160, 120, 120, 160).substr(0, 40)),
            std::string::npos);
  EXPECT_EQ(run(dir, {"--map", WQT_SAMPLE_MAP, "check", dir / "none.wqt"}).status, 2);
}

TEST_F(Cli, PackReadsNothingOutsideTheFolderAndWritesNothingOnProblems) {
  const fs::path theme = editorTheme(dir, WQT_SAMPLE_MAP, "in.wqt");
  const fs::path folder = dir / "u";
  ASSERT_EQ(run(dir, {"--map", WQT_SAMPLE_MAP, "unpack", theme, folder}).status, 0);
  const std::string json = text(folder / "theme.json");
  fs::create_directory(dir / "outside");
  fs::copy_file(folder / "Превью темы.jpg", dir / "outside/p.jpg");
  fs::create_symlink(dir / "outside/p.jpg", folder / "link.jpg");
  fs::create_directory_symlink(dir / "outside", folder / "Меню/link");
  const struct {
    const char* path;
  } cases[] = {{"../outside/p.jpg"},
               {"/etc/hostname"},
               {"link.jpg"},
               {"Меню/../../outside/p.jpg"},
               {"Меню/link/p.jpg"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    std::string changed = json;
    const std::string from = "\"Превью темы.jpg\"";
    changed.replace(changed.find(from), from.size(), std::string("\"") + c.path + "\"");
    dir.write("u/theme.json", changed);
    const Outcome pack = run(dir, {"--map", WQT_SAMPLE_MAP, "pack", folder, dir / "out.wqt"});
    EXPECT_EQ(pack.status, 1);
    EXPECT_NE(pack.err.find("за пределы папки"), std::string::npos) << pack.err;
    EXPECT_FALSE(fs::exists(dir / "out.wqt"));
  }
  // A text the field cannot hold, and a file that fails its import checks: all listed, no theme.
  std::string changed = json;
  changed.replace(changed.find("\"Автор\""), 12, "\"" + std::string(53, 'a') + "\"");
  dir.write("u/theme.json", changed);
  dir.write("u/Цвета/Цвета меню.tab", "short");
  const Outcome pack = run(dir, {"--map", WQT_SAMPLE_MAP, "pack", folder, dir / "out.wqt"});
  EXPECT_EQ(pack.status, 1);
  EXPECT_NE(pack.err.find(wqt::kTooLongMessage), std::string::npos);
  EXPECT_NE(pack.err.find(wqt::kWrongSizeMessage), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "out.wqt"));
}

TEST_F(Cli, ListingAsJsonAndUsageErrors) {
  const fs::path theme = editorTheme(dir, WQT_SAMPLE_MAP, "in.wqt");
  const Outcome list = run(dir, {"--map", WQT_SAMPLE_MAP, "list", theme, "--json"});
  ASSERT_EQ(list.status, 0);
  const auto doc = nlohmann::json::parse(list.out);
  EXPECT_EQ(doc["header"]["author"], "Автор");
  EXPECT_EQ(doc["header"]["type"], "white");  // as theme.json and set --type name it
  ASSERT_EQ(doc["files"].size(), 15u);
  EXPECT_EQ(doc["files"][7]["path"], "Меню/Иконки меню/Камера");
  EXPECT_EQ(doc["files"][11]["size"], 128);
  // Controls in a caption, C1 and bidirectional ones too, stay escapes in the JSON.
  const fs::path controls =
      writeMap("controls.rxt",
               "<ThemeSign \"ORVALEN-THEME\" \"WQT-THEME-FORMAT1\">\n<ThemeSettings \"9Ch\" "
               "\"100h\" \"1\">\n"
               "<file \"Ж\u009b2J\u202e\" \"0\" \"COLORTAB\" \"4\">\n");
  const Outcome escaped =
      run(dir, {"--map", controls, "list", editorTheme(dir, controls, "c.wqt"), "--json"});
  EXPECT_NE(escaped.out.find("\"Ж\\u009b2J\\u202e\""), std::string::npos) << escaped.out;

  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"extrct", theme, "0"}, "Неизвестная команда «extrct». Может быть, «extract»?"},
      {{"overveiw", theme}, "Неизвестная команда «overveiw». Команды: info, list, check,"},
      {{"info"}, "THEME"},
      {{"--map", dir / "none.rxt", "info", theme}, "none.rxt"},
      {{"extract", theme, "Меню"}, "4 Меню/Фон меню"},
      {{"extract", theme, "Меню/Нет"}, "Меню/Иконки меню/"},
      {{"unpack", theme, dir.path()}, "не пуста"},
      {{"set", theme, "--type", "grey"}, "black"},
      {{"thumbnail", "-s", "0", theme, dir / "t.png"}, "от 1 до 4096"},
      {{"fit", "p.jpg", "--size", "0x320", "--kind", "jpg", "-o", "f.jpg"}, "от 1 до 65535"},
      {{"extract", theme, "99"}, "Номера файлов: 0–14."},
      {{"set", theme, "--autor", "Вася"}, "Неизвестный параметр «--autor». Может быть, --author?"},
      {{"info", dir / "none.wqt"}, "none.wqt"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    if (args[0] != "--map") args.insert(args.begin(), {"--map", WQT_SAMPLE_MAP});
    const Outcome result = run(dir, args);
    EXPECT_EQ(result.status, 2) << c.message;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  }
}

}  // namespace

namespace {

// A map of `count` small colour tables: enough files that unpack and pack take a while.
std::string manyFilesMap(int count) {
  char settings[80];
  std::snprintf(settings, sizeof settings, "<ThemeSettings \"9Ch\" \"%Xh\" \"%X\">\n",
                0x9C + 4 * count, count);
  std::string m = "<ThemeSign \"ORVALEN-THEME\" \"WQT-THEME-FORMAT1\">\n" + std::string(settings);
  for (int i = 0; i < count; ++i)
    m += "<file \"t" + std::to_string(i) + "\" \"0\" \"COLORTAB\" \"4\">\n";
  return m;
}

// theme.json of `folder` changed by `edit`.
void editThemeJson(const fs::path& folder, const std::function<void(nlohmann::json&)>& edit) {
  nlohmann::json doc = nlohmann::json::parse(text(folder / "theme.json"));
  edit(doc);
  std::ofstream(folder / "theme.json") << doc.dump();
}

}  // namespace

TEST_F(Cli, MessagesSayWhatHappenedInRussian) {
  const fs::path theme = editorTheme(dir, WQT_SAMPLE_MAP, "in.wqt");
  const fs::path nested = writeMap("nested.rxt", nestedMap());
  const fs::path nestedTheme = editorTheme(dir, nested, "nested.wqt");
  ASSERT_EQ(run(dir, {"--map", WQT_SAMPLE_MAP, "unpack", theme, dir / "u"}).status, 0);
  const auto copyOfU = [&](const char* name, const std::function<void(const fs::path&)>& change) {
    fs::copy(dir / "u", dir / name, fs::copy_options::recursive);
    change(dir / name);
  };
  copyOfU("lost", [](const fs::path& f) { fs::remove(f / "Экран блокировки/Замок.raw"); });
  copyOfU("signature", [](const fs::path& f) {
    editThemeJson(f, [](nlohmann::json& doc) { doc["header"] = "00"; });
  });
  copyOfU("deep", [](const fs::path& f) {
    std::ofstream(f / "theme.json") << std::string(1 << 20, '[') << "\"]\"";
  });
  copyOfU("huge", [](const fs::path& f) {
    std::ofstream(f / "theme.json") << std::string((16 << 20) + 1, ' ');
  });
  dir.write("big.raw", Bytes(8192, 1));
  dir.write("p.png", wqt::encodePng({2, 2, Bytes(12, 0)}));
  // A JPEG whose scan is cut short: its header passes the import, only decoding shows the fault.
  Bytes cut = wqt::test::encodeJpeg(60, 60);
  cut.resize(cut.size() * 3 / 4);
  dir.write("cut.jpg", cut);
  ASSERT_EQ(run(dir, {"--map", WQT_SAMPLE_MAP, "replace", theme, "Камера", dir / "cut.jpg", "-o",
                      dir / "cut.wqt"})
                .status,
            0);
  // Another model: the camera icon as a smaller RAW picture, and a file the sample lacks.
  const fs::path small = writeMap("small.rxt",
                                  "<ThemeSign \"ORVALEN-THEME\" \"WQT-THEME-FORMAT1\">\n"
                                  "<ThemeSettings \"9Ch\" \"100h\" \"2\">\n"
                                  "<group \"Меню\">\n<group \"Иконки меню\">\n"
                                  "<file \"Камера\" \"0\" \"RAW\" \"30\" \"30\">\n"
                                  "</group \"\">\n</group \"\">\n"
                                  "<file \"Новый\" \"1\" \"COLORTAB\" \"4\">\n");
  const fs::path smallBase = editorTheme(dir, small, "base.wqt");

  const struct {
    std::vector<std::string> args;
    int status;
    std::string message;
  } cases[] = {
      {{"pack", dir / "lost", dir / "o.wqt"}, 1, "Замок (Экран блокировки/Замок.raw): файла нет"},
      {{"pack", dir / "signature", dir / "o.wqt"}, 1, wqt::kSignature1Status},
      {{"pack", dir / "huge", dir / "o.wqt"}, 2, "theme.json: файл больше 16 МиБ"},
      {{"pack", dir / "deep", dir / "o.wqt"}, 2, "theme.json: вложенность глубже 16 уровней"},
      {{"replace", theme, "Замок", dir / "big.raw"}, 1, "8192 б, необходимо 2048 б (32 × 32 × 2)"},
      {{"replace", theme, "Камера", dir / "p.png"}, 1, "Это рисунок PNG, а файл темы — JPG."},
      {{"set", theme, "--author", "ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ"},
       2,
       "54 б в UTF-8, поле вмещает 52 б"},
      {{"unpack", theme, dir / "big.raw"}, 2, "big.raw» — это файл, а не папка."},
      {{"check", dir / "cut.wqt"}, 1, "Камера: изображение JPEG повреждено (libjpeg: Premature"},
      {{"info", dir / "none.wqt"}, 2, "none.wqt»: нет такого файла или папки."},
      {{"replace", theme, "Замок", dir / "none.raw"}, 2, "none.raw»: нет такого файла или папки."},
      {{"port", theme, "--to-map", small, "--base", smallBase, "-o", dir / "ported.wqt"},
       0,
       "1\tНовый\tиз базовой темы\n"},
      {{"port", theme, "--to-map", small, "-o", dir / "o.wqt"},
       1,
       "Новый: в старой карте нет файла с этим путём; базовая тема не указана."},
      {{"port", theme, "--to-map", small, "--base", smallBase, "-o", smallBase},
       2,
       "укажите другой"},
      {{"--map", nested, "extract", nestedTheme, "Файл 0"},
       2,
       "называет не один файл; варианты:\n  0 Группа 0/Вложенная/Файл 0\n  3 Группа 0/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    std::vector<std::string> args = c.args;
    if (args[0] != "--map") args.insert(args.begin(), {"--map", WQT_SAMPLE_MAP});
    const Outcome result = run(dir, args);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_NE((result.err + result.out).find(c.message), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(dir / "o.wqt"));
  }

  // The last part of a caption path names its file; "-o -" writes it on stdout.
  const Outcome extract = run(dir, {"--map", WQT_SAMPLE_MAP, "extract", theme, "Замок", "-o", "-"});
  EXPECT_EQ(extract.status, 0) << extract.err;
  EXPECT_EQ(extract.out, text(dir / "u/Экран блокировки/Замок.raw"));

  // Text from a theme reaches the terminal with its control characters escaped.
  ASSERT_EQ(run(dir, {"--map", WQT_SAMPLE_MAP, "set", theme, "--author", "\x1b]0;x\x07", "-o",
                      dir / "esc.wqt"})
                .status,
            0);
  const Outcome info = run(dir, {"--map", WQT_SAMPLE_MAP, "info", dir / "esc.wqt"});
  EXPECT_NE(info.out.find("Автор темы: \\x1b]0;x\\x07\n"), std::string::npos) << info.out;

  // Without --map, a map found nowhere is reported with every place searched.
  fs::create_directories(dir / "bin");
  fs::copy_file(WQT_CLI, dir / "bin/orvalen-wqt");
  const Outcome missing = finish(dir, start(dir, {"info", theme}, dir / "bin/orvalen-wqt",
                                            {"XDG_CONFIG_HOME=" + (dir / "cfg").string(),
                                             "XDG_DATA_DIRS=" + (dir / "data").string()}));
  EXPECT_EQ(missing.status, 2);
  for (const std::string& place :
       {(dir / "bin/theme.rxt").string(), (dir / "cfg/orvalen-wqt-manager/theme.rxt").string(),
        (dir / "data/orvalen-wqt-manager/theme.rxt").string(),
        (dir / "share/orvalen-wqt-manager/theme.rxt").string(), std::string("--map FILE")}) {
    EXPECT_NE(missing.err.find(place), std::string::npos) << missing.err;
  }
}

TEST_F(Cli, HostilePathsAreRefusedPlainly) {
  const fs::path theme = editorTheme(dir, WQT_SAMPLE_MAP, "in.wqt");
  ASSERT_EQ(run(dir, {"--map", WQT_SAMPLE_MAP, "unpack", theme, dir / "u"}).status, 0);
  const struct {
    std::vector<std::string> args;
    int status;
    std::string message;
    fs::path made;  // what a successful command wrote
  } cases[] = {
      {{"unpack", theme, ""}, 2, "Путь пуст: укажите папку DIR.", {}},
      {{"pack", dir / "u", ""}, 2, "Путь пуст: укажите файл темы THEME.", {}},
      {{"extract", theme, "0", "-o", ""}, 2, "Путь пуст: укажите файл для -o.", {}},
      {{"set", theme, "--name", "x", "-o", ""}, 2, "Путь пуст: укажите файл для -o.", {}},
      {{"set", theme, "--name", "x", "-o", "/dev/null"}, 2, "device", {}},
      {{"set", theme, "--name", "x", "-o", dir / "named.bin"}, 0, "", dir / "named.bin"},
      {{"pack", dir / "u", dir / "none/x.wqt"}, 2, "x.wqt»: нет такого файла или папки.", {}},
      {{"unpack", theme, (dir / "t").string() + "//"}, 0, "", dir / "t/theme.json"},
      {{"pack", (dir / "u").string() + "/", dir / "p.wqt"}, 0, "", dir / "p.wqt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), {"--map", WQT_SAMPLE_MAP});
    const Outcome result = run(dir, args);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_TRUE(c.made.empty() || fs::exists(c.made)) << c.made;
  }
  EXPECT_EQ(wqt::readWholeFile(dir / "p.wqt"), wqt::readWholeFile(theme));
}

TEST_F(Cli, InterruptedCommandsLeaveNoTemporaryFiles) {
  const fs::path map = writeMap("many.rxt", manyFilesMap(2500));
  const fs::path theme = editorTheme(dir, map, "many.wqt");
  ASSERT_EQ(run(dir, {"--map", map, "unpack", theme, dir / "u"}).status, 0);
  const struct {
    std::vector<std::string> args;
    std::string temporary;  // how the command's temporary file or folder begins
    int signal;
  } cases[] = {
      {{"unpack", theme, dir / "out"}, ".out.", SIGINT},
      {{"pack", dir / "u", dir / "out.wqt"}, ".out.wqt.", SIGTERM},
  };
  const auto temporaryExists = [&](const std::string& prefix) {
    for (const auto& f : fs::directory_iterator(dir.path())) {
      if (f.path().filename().string().starts_with(prefix)) return true;
    }
    return false;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.temporary);
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), {"--map", map});
    const pid_t pid = start(dir, args);
    ASSERT_GT(pid, 0);
    bool seen = false;
    for (int i = 0; i < 200000 && !(seen = temporaryExists(c.temporary)); ++i) {
      if (waitpid(pid, nullptr, WNOHANG) == pid) break;
    }
    ASSERT_TRUE(seen) << "the command ended before its temporary file appeared";
    kill(pid, c.signal);
    const Outcome result = finish(dir, pid);
    EXPECT_EQ(result.status, 128 + c.signal) << result.err;
    EXPECT_FALSE(temporaryExists(c.temporary));
    EXPECT_FALSE(fs::exists(dir / "out") || fs::exists(dir / "out.wqt"));
  }
}

namespace {

// The core's fit of a picture file to an entry of the sample map.
std::string coreFit(const fs::path& picture, wqt::FitTarget target,
                    const wqt::FitOptions& options) {
  const wqt::SourcePicture source = wqt::readSourceFile(picture, {target, options.background});
  const Bytes bytes = wqt::fitPicture(source, target, options).bytes;
  return std::string(bytes.begin(), bytes.end());
}

// An entry's data as extract writes it.
std::string extracted(const TempDir& dir, const fs::path& theme, const std::string& entry) {
  const fs::path out = dir / "extracted";
  const Outcome outcome = run(dir, {"--map", WQT_SAMPLE_MAP, "extract", theme, entry, "-o", out});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  return text(out);
}

// A map of flat-colour pictures whose pixels can be found again wherever they are shown: a JPG
// wider than a phone's screen, a small JPG, a RAW picture, a missing JPG, a colour table, and
// captions that would be markup if a page took them as such.
struct FlatPicture {
  const char* kind;
  int width, height;
  std::uint8_t r, g, b;  // as shown: a RAW picture's colour after RGB565
};
constexpr FlatPicture kFlat[] = {
    {"JPG", 480, 120, 255, 255, 0},  // yellow, wider than a phone
    {"JPG", 160, 120, 255, 0, 0},    // red
    {"RAW", 64, 48, 0, 252, 0},      // green: RGB565 0x07E0
    {"JPG", 48, 48, 0, 0, 255},      // blue
};
constexpr const char* kHostileCaption = "<script>document.title='x'</script> & «q»";

std::string flatMap() {
  std::string m =
      "<ThemeSign \"ORVALEN-THEME\" \"WQT-THEME-FORMAT1\">\n<ThemeSettings \"9Ch\" \"200h\" "
      "\"7\">\n"
      "<group \"Картинки <b>\">\n";
  for (const FlatPicture& p : kFlat) {
    m += "<file \"" + std::string(p.kind) + " " + std::to_string(p.width) + "\" \"0\" \"" + p.kind +
         "\" \"" + std::to_string(p.width) + "\" \"" + std::to_string(p.height) + "\">\n";
  }
  return m + "</group \"\">\n<file \"" + kHostileCaption +
         "\" \"0\" \"JPG\" \"16\" \"16\">\n<file \"Цвета\" \"0\" \"COLORTAB\" \"4\">\n";
}

Bytes flatFile(const FlatPicture& p) {
  if (std::string(p.kind) == "RAW") {
    Bytes words;
    for (int i = 0; i < p.width * p.height; ++i) words.insert(words.end(), {0xE0, 0x07});
    return words;
  }
  wqt::test::JpegRecipe recipe;
  recipe.width = p.width, recipe.height = p.height;
  recipe.fill = wqt::test::JpegFill::Solid;
  recipe.r = p.r, recipe.g = p.g, recipe.b = p.b;
  return wqt::test::encodeJpeg(recipe);
}

// The flat theme, its hostile-captioned JPG missing.
fs::path flatTheme(const TempDir& dir, const fs::path& mapPath) {
  const wqt::ThemeMap map = loadMap(mapPath);
  wqt::ThemeDocument doc;
  doc.create(map.settings());
  for (std::size_t e = 0; e < std::size(kFlat); ++e) doc.replaceSlot(e + 1, flatFile(kFlat[e]));
  doc.replaceSlot(std::size(kFlat) + 2, Bytes(4, 7));
  doc.setHeaderField(wqt::kAuthorField, "<i>&amp;\"</i>");
  const fs::path path = dir / "flat.wqt";
  wqt::writeFileReplacing(path, doc.rebuildForSave(map.settings()));
  return path;
}

// Headless Chromium on a local page: a private home and profile, nothing fetched.
Outcome chromium(const TempDir& dir, std::vector<std::string> args) {
  fs::create_directories(dir / "chromium-home");
  args.insert(args.begin(),
              {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
               "--disable-background-networking", "--disable-component-update", "--disable-sync",
               "--hide-scrollbars", "--user-data-dir=" + (dir / "chromium-profile").string()});
  return finish(
      dir, start(dir, args, "/usr/bin/chromium", {"HOME=" + (dir / "chromium-home").string()}));
}

wqt::RgbPicture screenshot(const TempDir& dir, const fs::path& page, int width, int height) {
  const fs::path shot = dir / "shot.png";
  fs::remove(shot);
  const Outcome result =
      chromium(dir, {"--window-size=" + std::to_string(width) + "," + std::to_string(height),
                     "--screenshot=" + shot.string(), "file://" + page.string()});
  EXPECT_TRUE(fs::exists(shot)) << result.err;
  return fs::exists(shot) ? wqt::decodePng(wqt::readWholeFile(shot), 1u << 26) : wqt::RgbPicture{};
}

struct Box {
  int left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1;
  long pixels = 0;
  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
};

// Where the picture's colour lies in the screenshot.
Box find(const wqt::RgbPicture& shot, const FlatPicture& p) {
  Box box;
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      const std::uint8_t* px = &shot.rgb[3 * (static_cast<std::size_t>(y) * shot.width + x)];
      if (std::abs(px[0] - p.r) <= 24 && std::abs(px[1] - p.g) <= 24 &&
          std::abs(px[2] - p.b) <= 24) {
        box.left = std::min(box.left, x), box.right = std::max(box.right, x);
        box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
        ++box.pixels;
      }
    }
  }
  return box;
}

}  // namespace

TEST_F(Cli, ReplaceWithFitStoresTheCoresFitAndExactFilesAsTheyAre) {
  const fs::path theme = editorTheme(dir, WQT_SAMPLE_MAP, "in.wqt");
  const fs::path photo = dir.write("photo.jpg", wqt::test::quadrantJpeg(90, 50));
  wqt::test::PngRecipe drawing;
  drawing.width = 40;
  drawing.height = 70;
  drawing.pixel = [](int x, int y) {
    return std::vector<unsigned>{unsigned(x * 6), unsigned(y * 3), 90};
  };
  const fs::path png = dir.write("drawing.png", wqt::test::encodePng(drawing));
  const fs::path exact = dir.write("exact.jpg", wqt::test::encodeJpeg(60, 60));
  const fs::path gif = dir.write(
      "drawing.gif", wqt::test::encodeGif(
                         40, 30, {{250, 0, 0}, {0, 0, 250}}, [](int x, int) { return x / 20; }, 1));
  const wqt::FitTarget camera{wqt::FileKind::Jpg, 60, 60}, lock{wqt::FileKind::Raw, 32, 32};
  wqt::FitOptions inside;
  inside.mode = wqt::FitMode::Inside;
  inside.background = {0x10, 0x20, 0x30};
  wqt::FitOptions stretch;
  stretch.mode = wqt::FitMode::Stretch;
  stretch.dither = wqt::Dither::Ordered;
  wqt::FitOptions bottom;
  wqt::applyGravity(bottom, wqt::Gravity::Bottom);
  bottom.quality = 50;
  const struct {
    const char* name;
    std::string entry;
    fs::path picture;
    std::vector<std::string> args;
    std::optional<wqt::FitTarget> target;  // none: stored as it is
    wqt::FitOptions options;
  } cases[] = {
      {"jpg crop of a wider photo", "Камера", photo, {"--fit", "crop"}, camera, {}},
      {"jpg crop from the bottom",
       "Камера",
       png,
       {"--fit", "crop", "--gravity", "bottom", "--quality", "50"},
       camera,
       bottom},
      {"jpg inside",
       "Камера",
       photo,
       {"--fit", "inside", "--background", "102030"},
       camera,
       inside},
      {"raw stretch of a jpeg",
       "Замок",
       photo,
       {"--fit", "stretch", "--dither", "ordered"},
       lock,
       stretch},
      // Not a .png, yet a picture: taken for a RAW file by what it holds.
      {"raw crop of a gif", "Замок", gif, {"--fit", "crop"}, lock, {}},
      {"raw inside of a png",
       "Замок",
       png,
       {"--fit", "inside", "--background", "102030"},
       lock,
       inside},
      {"exact jpg stays as it is", "Камера", exact, {"--fit", "crop"}, std::nullopt, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {"--map", WQT_SAMPLE_MAP, "replace", theme,
                                     c.entry, c.picture,      "-o",      dir / "out.wqt"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome outcome = run(dir, args);
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(extracted(dir, dir / "out.wqt", c.entry),
              c.target ? coreFit(c.picture, *c.target, c.options) : text(c.picture));
  }

  // Without --fit the picture is refused as before, pointing to --fit; the other options want it.
  const Outcome plain = run(dir, {"--map", WQT_SAMPLE_MAP, "replace", theme, "Камера", photo});
  EXPECT_EQ(plain.status, 1);
  EXPECT_NE(plain.err.find("Загружаемый размер: 90x50"), std::string::npos) << plain.err;
  EXPECT_NE(plain.err.find("подгоняется к файлу с --fit"), std::string::npos) << plain.err;
  const Outcome alone =
      run(dir, {"--map", WQT_SAMPLE_MAP, "replace", theme, "Камера", photo, "--quality", "50"});
  EXPECT_EQ(alone.status, 2);
  EXPECT_NE(alone.err.find("только вместе с --fit"), std::string::npos) << alone.err;
}

TEST_F(Cli, PackWithFitFitsPicturesThatAreNotExactAndWithoutItRefusesThem) {
  const fs::path theme = editorTheme(dir, WQT_SAMPLE_MAP, "in.wqt");
  const fs::path folder = dir / "u";
  ASSERT_EQ(run(dir, {"--map", WQT_SAMPLE_MAP, "unpack", theme, folder}).status, 0);
  const std::string contacts = text(folder / "Меню/Иконки меню/Контакты.jpg");
  // A JPEG of another size for a JPG entry, a PNG for another, a JPEG for a RAW entry.
  const Bytes photo = wqt::test::quadrantJpeg(90, 50);
  wqt::writeFileReplacing(folder / "Меню/Иконки меню/Камера.jpg", photo);
  wqt::test::PngRecipe drawing;
  drawing.pixel = [](int x, int y) {
    return std::vector<unsigned>{unsigned(x * 30), 0, unsigned(y * 30)};
  };
  dir.write("u/Меню/Иконки меню/Сообщения.png", wqt::test::encodePng(drawing));
  dir.write("u/Экран блокировки/Замок.jpg", photo);
  editThemeJson(folder, [](nlohmann::json& doc) {
    for (auto& entry : doc["files"]) {
      if (entry["index"] == 5) entry["file"] = "Меню/Иконки меню/Сообщения.png";
      if (entry["index"] == 14) entry["file"] = "Экран блокировки/Замок.jpg";
    }
  });

  const Outcome refused = run(dir, {"--map", WQT_SAMPLE_MAP, "pack", folder, dir / "p.wqt"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("проблем 3"), std::string::npos) << refused.err;
  EXPECT_FALSE(fs::exists(dir / "p.wqt"));

  const Outcome packed = run(dir, {"--map", WQT_SAMPLE_MAP, "pack", folder, dir / "p.wqt", "--fit",
                                   "crop", "--dither", "none"});
  ASSERT_EQ(packed.status, 0) << packed.err;
  wqt::FitOptions undithered;
  undithered.dither = wqt::Dither::None;
  const wqt::FitTarget icon{wqt::FileKind::Jpg, 60, 60};
  EXPECT_EQ(extracted(dir, dir / "p.wqt", "Камера"),
            coreFit(folder / "Меню/Иконки меню/Камера.jpg", icon, undithered));
  EXPECT_EQ(extracted(dir, dir / "p.wqt", "Сообщения"),
            coreFit(folder / "Меню/Иконки меню/Сообщения.png", icon, undithered));
  EXPECT_EQ(
      extracted(dir, dir / "p.wqt", "Замок"),
      coreFit(folder / "Экран блокировки/Замок.jpg", {wqt::FileKind::Raw, 32, 32}, undithered));
  EXPECT_EQ(extracted(dir, dir / "p.wqt", "Контакты"), contacts);
}

TEST_F(Cli, CatalogueShowsEveryPictureInABrowserOnADesktopAndAPhone) {
  const fs::path map = writeMap("flat.rxt", flatMap());
  const fs::path theme = flatTheme(dir, map);
  const fs::path page = dir / "flat.html";
  const Outcome made = run(dir, {"--map", map, "catalogue", theme, "-o", page});
  ASSERT_EQ(made.status, 0) << made.err;
  // Every picture where a person sees it: at its own size where it fits, scaled down with its
  // aspect kept where it does not, inside the phone's 360 px.
  fs::copy_file(page, dir / "phone-page.html");
  const fs::path phone = dir.write("phone.html",
                                   "<!DOCTYPE html><html><body style=\"margin:0\"><iframe "
                                   "src=\"phone-page.html\" style=\"width:360px;height:2400px;"
                                   "border:0\"></iframe></body></html>");
  const struct {
    const char* name;
    fs::path page;
    int width;
  } screens[] = {{"desktop", page, 1000}, {"phone", phone, 800}};
  for (const auto& screen : screens) {
    SCOPED_TRACE(screen.name);
    const wqt::RgbPicture shot = screenshot(dir, screen.page, screen.width, 2400);
    const int room = screen.page == phone ? 360 : screen.width;
    for (const FlatPicture& p : kFlat) {
      SCOPED_TRACE(std::to_string(p.width) + "x" + std::to_string(p.height));
      const Box box = find(shot, p);
      ASSERT_GT(box.pixels, 0);
      EXPECT_LT(box.right, room);
      if (p.width + 64 <= room / (screen.page == phone ? 1 : 3)) {
        EXPECT_EQ(box.width(), p.width);
        EXPECT_EQ(box.height(), p.height);
      } else {
        EXPECT_LT(box.width(), p.width);
        EXPECT_NEAR(box.width() * p.height, box.height() * p.width, 2 * p.width);
      }
      EXPECT_GE(box.pixels, box.width() * box.height() * 95 / 100);
    }
  }
}

TEST_F(Cli, CatalogueIsValidHtmlWhoseCaptionsStayText) {
  const fs::path map = writeMap("flat.rxt", flatMap());
  const fs::path theme = flatTheme(dir, map);
  const Outcome made = run(dir, {"--map", map, "catalogue", theme, "-o", "-"});
  ASSERT_EQ(made.status, 0) << made.err;
  const fs::path page = dir.write("flat.html", made.out);
  // The HTML5 parser's strict mode: any parse error fails.
  const Outcome parsed = finish(
      dir, start(dir,
                 {"-c",
                  "import html5lib, sys\n"
                  "html5lib.HTMLParser(strict=True).parse(open(sys.argv[1], 'rb').read().decode())",
                  page},
                 "/usr/bin/python3"));
  EXPECT_EQ(parsed.status, 0) << parsed.err;
  // The browser's own document: no element from a caption or a header field, every text shown.
  const Outcome dom = chromium(dir, {"--dump-dom", "file://" + page.string()});
  ASSERT_EQ(dom.status, 0) << dom.err;
  EXPECT_EQ(dom.out.find("<script"), std::string::npos);
  EXPECT_EQ(dom.out.find("<b>"), std::string::npos);
  EXPECT_EQ(dom.out.find("<i>"), std::string::npos);
  EXPECT_NE(dom.out.find("<title>flat.wqt</title>"), std::string::npos);
  for (const char* shown :
       {"&lt;script&gt;document.title='x'&lt;/script&gt; &amp; «q»",
        "&lt;i&gt;&amp;amp;\"&lt;/i&gt;", "Картинки &lt;b&gt;", wqt::kMissingFileText, "4 б"}) {
    EXPECT_NE(dom.out.find(shown), std::string::npos) << shown;
  }
  std::size_t images = 0;
  for (std::size_t at = 0; (at = dom.out.find("<img src=\"data:image/", at)) != std::string::npos;
       ++at) {
    ++images;
  }
  EXPECT_EQ(images, std::size(kFlat));
}

TEST_F(Cli, ThumbnailIsTheFirstPictureOrNothingAtAll) {
  const fs::path map = writeMap("flat.rxt", flatMap());
  const fs::path theme = flatTheme(dir, map);
  const Bytes good = wqt::readWholeFile(theme);
  const fs::path out = dir / "out.png";
  const auto thumbnail = [&](const Bytes& bytes, std::vector<std::string> size) {
    const fs::path path = dir.write("t.wqt", bytes);
    std::vector<std::string> args = {"--map", map, "thumbnail"};
    args.insert(args.end(), size.begin(), size.end());
    args.insert(args.end(), {path, out});
    return run(dir, args);
  };
  // Written into the file that is there (a thumbnail service reads back the file it made).
  const struct {
    std::vector<std::string> size;
    int width, height;
  } sizes[] = {{{}, 256, 64}, {{"-s", "128"}, 128, 32}, {{"-s", "1024"}, 480, 120}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(s.width);
    dir.write("out.png", "");
    struct stat before {
    }, after{};
    ::stat(out.c_str(), &before);
    const Outcome result = thumbnail(good, s.size);
    ASSERT_EQ(result.status, 0) << result.err;
    ::stat(out.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    const wqt::RgbPicture png = wqt::decodePng(wqt::readWholeFile(out), 1u << 20);
    EXPECT_EQ(png.width, s.width);
    EXPECT_EQ(png.height, s.height);
    EXPECT_EQ(find(png, kFlat[0]).pixels, png.width * png.height);
  }

  // A broken or hostile theme: status 1 at once, and the file there left as it was.
  const std::size_t first = 0x200;  // the data offset: the first slot's data begins there
  const struct {
    const char* name;
    std::function<void(Bytes&)> damage;
    std::string message;
  } cases[] = {
      {"cut", [](Bytes& b) { b.pop_back(); }, "Stream read error"},
      {"signature", [](Bytes& b) { b[0] ^= 1; }, wqt::kSignature1Status},
      {"zeroed", [&](Bytes& b) { std::fill_n(b.begin() + first, 600, 0); }, "JPEG"},
      {"huge",
       [&](Bytes& b) {
         // The picture's header claims 65500 × 65500 pixels.
         const std::uint8_t marker[] = {0xFF, 0xC0};
         const auto sof = std::search(b.begin() + first, b.end(), marker, marker + 2);
         std::fill_n(sof + 5, 4, 0xFF), sof[6] = sof[8] = 0xDC;
       },
       "100"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = good;
    c.damage(bytes);
    dir.write("out.png", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    const auto started = std::chrono::steady_clock::now();
    const Outcome result = thumbnail(bytes, {"-s", "128"});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_EQ(fs::file_size(out), 8u);
  }
  // A theme without a picture; nothing made where nothing was.
  wqt::ThemeDocument doc;
  doc.create(loadMap(map).settings());
  const Bytes none = wqt::joinParts(doc.rebuildForSave(loadMap(map).settings()));
  fs::remove(out);
  const Outcome result = thumbnail(none, {});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("нет рисунков"), std::string::npos) << result.err;
  EXPECT_FALSE(fs::exists(out));
  // A folder is no place for a picture, nor the theme itself; through a link, the file it names
  // is replaced whole.
  const fs::path t = dir.write("t.wqt", good);
  const Outcome folder = run(dir, {"--map", map, "thumbnail", t, dir.path()});
  EXPECT_EQ(folder.status, 2);
  EXPECT_NE(folder.err.find("папка"), std::string::npos) << folder.err;
  const Outcome itself = run(dir, {"--map", map, "thumbnail", t, dir / "." / "t.wqt"});
  EXPECT_EQ(itself.status, 2);
  EXPECT_EQ(wqt::readWholeFile(t), good);
  dir.write("target.png", "x");
  fs::create_symlink(dir / "target.png", dir / "link.png");
  ASSERT_EQ(run(dir, {"--map", map, "thumbnail", t, dir / "link.png"}).status, 0);
  EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
  EXPECT_GT(fs::file_size(dir / "target.png"), 8u);
}
