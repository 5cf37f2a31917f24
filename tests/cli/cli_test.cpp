// End to end: the built orvalen-wqt run over generated themes, as a user or a script runs it: its
// exit statuses, its options and the format of what it writes. The rules behind each refusal are
// the core's and tested there.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "../core/fit_test_util.h"
#include "../core/jpeg_test_util.h"
#include "../core/picture_formats_util.h"
#include "base/file_io.h"
#include "cli_run.h"
#include "files/file_kind.h"
#include "files/png_picture.h"
#include "fit/fit_picture.h"
#include "map/theme_map.h"
#include "theme/theme_document.h"
#include "theme/theme_messages.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using wqt::test::finish;
using wqt::test::Outcome;
using wqt::test::run;
using wqt::test::start;
using wqt::test::TempDir;
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
  if (kind && kind->kind == wqt::FileKind::Jpg)
    return wqt::test::encodeJpeg(entry.width, entry.height);
  Bytes bytes(static_cast<std::size_t>(*wqt::expectedImportSize(entry)));
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(e * 31 + i);
  return bytes;
}

// A theme as the editor writes it: every file imported but `missing`, the author set, type 1, and
// bytes the editor carries unchanged set in the header.
fs::path editorTheme(const TempDir& dir, const fs::path& mapPath, const std::string& name,
                     std::size_t missing = SIZE_MAX) {
  const wqt::ThemeMap map = loadMap(mapPath);
  wqt::ThemeDocument doc;
  doc.create(map.settings());
  for (std::size_t e = 0; e < map.settings().fileCount; ++e)
    if (e != missing) doc.replaceSlot(e + 1, validFile(map.entries()[e], e));
  doc.setHeaderField(wqt::kAuthorField, "\xC0\xE2\xF2\xEE\xF0");  // "Автор"
  if (map.settings().hasTypeByte()) doc.setThemeType(map.settings(), 1);
  wqt::ParsedTheme parsed =
      wqt::parseThemeFile(wqt::joinParts(doc.rebuildForSave(map.settings())), map.settings());
  parsed.image[13] = 0x5A;  // not interpreted, kept by every save
  doc.adopt(std::move(parsed));
  const fs::path path = dir / name;
  wqt::writeFileReplacing(path, doc.rebuildForSave(map.settings()));
  return path;
}

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

// The core's fit of a picture file.
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

class Cli : public testing::Test {
 protected:
  TempDir dir;
};

TEST_F(Cli, UnpackThenPackGivesTheSameTheme) {
  const fs::path theme = editorTheme(dir, WQT_SAMPLE_MAP, "in.wqt");
  for (const std::string format : {"raw", "png"}) {
    SCOPED_TRACE(format);
    const fs::path folder = dir / format;
    std::vector<std::string> args = {"--map", WQT_SAMPLE_MAP, "unpack", theme, folder};
    if (format == "png") args.push_back("--png");
    const Outcome unpack = run(dir, args);
    ASSERT_EQ(unpack.status, 0) << unpack.err;
    const Outcome pack = run(dir, {"--map", WQT_SAMPLE_MAP, "pack", folder, dir / "out.wqt"});
    ASSERT_EQ(pack.status, 0) << pack.err;
    EXPECT_EQ(wqt::readWholeFile(dir / "out.wqt"), wqt::readWholeFile(theme));
  }
}

// 0 done, 1 refused for the theme or a file, 2 a wrong command line or a file that cannot be
// read; the message on stderr, nothing written on a refusal.
TEST_F(Cli, ExitStatusesAndTheirMessages) {
  const fs::path theme = editorTheme(dir, WQT_SAMPLE_MAP, "in.wqt");
  Bytes cut = wqt::readWholeFile(theme);
  cut.pop_back();
  dir.write("cut.wqt", cut);
  dir.write("big.raw", Bytes(8192, 1));
  const fs::path photo = dir.write("photo.jpg", wqt::test::quadrantJpeg(90, 50));
  dir.write("notes.txt", std::string("not a picture"));
  ASSERT_EQ(run(dir, {"--map", WQT_SAMPLE_MAP, "unpack", theme, dir / "u"}).status, 0);
  fs::copy(dir / "u", dir / "lost", fs::copy_options::recursive);
  fs::remove(dir / "lost/Экран блокировки/Замок.raw");
  std::string tooLong;
  for (int i = 0; i < 27; ++i) tooLong += "Ж";
  // Another model: the camera icon as a smaller RAW picture, and a file the sample lacks.
  const fs::path small = dir.write("small.rxt",
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
    std::string message;  // found in stderr or stdout
  } cases[] = {
      {{"port", theme, "--to-map", small, "--base", smallBase, "-o", dir / "ported.wqt"},
       0,
       "0\tМеню/Иконки меню/Камера\tподогнан из JPG 60×60\n1\tНовый\tиз базовой темы\n"},
      {{"port", theme, "--to-map", small, "-o", dir / "o.wqt"},
       1,
       "Новый: в старой карте нет файла с этим путём; базовая тема не указана."},
      {{"port", theme, "--to-map", small, "--base", smallBase, "-o", smallBase},
       2,
       "укажите другой"},
      // The required --to-map is missed first; the slip that left it out is what is said.
      {{"port", theme, "--to-mapp", small, "-o", dir / "o.wqt"}, 2, "Может быть, --to-map?"},
      {{"check", theme}, 0, ""},
      {{"set", theme, "--name", "x", "-o", dir / "named.bin"}, 0, ""},
      {{"unpack", theme, (dir / "t").string() + "//"}, 0, ""},
      {{"check", dir / "cut.wqt"}, 1, "Stream read error"},
      {{"check", editorTheme(dir, WQT_SAMPLE_MAP, "gap.wqt", 12)},
       1,
       "Цвета/Цвета меню: " + std::string(wqt::kMissingFileText)},
      {{"replace", theme, "Замок", dir / "big.raw"}, 1, "8192 б, необходимо 2048 б (32 × 32 × 2)"},
      {{"replace", theme, "Цифры часов", dir / "big.raw"}, 1, "(16 × 24 × 3 + 8)"},
      {{"replace", theme, "Камера", photo}, 1, "подгоняется к файлу с --fit"},
      {{"pack", dir / "lost", dir / "o.wqt"}, 1, "Замок (Экран блокировки/Замок.raw): файла нет"},
      {{"extrct", theme, "0"}, 2, "Неизвестная команда «extrct». Может быть, «extract»?"},
      {{"set", theme, "--autor", "Вася"},
       2,
       "Неизвестный параметр «--autor». Может быть, --author?"},
      {{"info"}, 2, "THEME"},
      {{"info", dir / "none.wqt"}, 2, "none.wqt»: нет такого файла или папки."},
      {{"--map", dir / "none.rxt", "info", theme}, 2, "none.rxt"},
      {{"extract", theme, "Меню"}, 2, "называет не один файл; варианты:\n  4 Меню/Фон меню"},
      {{"extract", theme, "99"}, 2, "Номера файлов: 0–14."},
      {{"unpack", theme, ""}, 2, "Путь пуст: укажите папку DIR."},
      {{"unpack", theme, dir.path()}, 2, "не пуста"},
      {{"set", theme, "--author", tooLong}, 2, "Текст занимает 54 б в UTF-8, поле вмещает 52 б"},
      {{"set", theme, "--name", "x", "-o", "/dev/null"}, 2, "device"},
      {{"set", theme, "--type", "grey"}, 2, "black"},
      {{"thumbnail", "-s", "0", theme, dir / "t.png"}, 2, "от 1 до 4096"},
      {{"replace", theme, "Камера", photo, "--quality", "50"}, 2, "только вместе с --fit"},
      {{"fit", photo, "--size", "240", "--kind", "jpg", "-o", dir / "o.wqt"}, 2, "--size"},
      {{"fit", photo, "--size", "8x8", "--kind", "ani2", "-o", dir / "o.wqt"}, 2, "--kind"},
      {{"fit", photo, "--size", "8x8", "--kind", "raw", "--background", "12345", "-o",
        dir / "o.wqt"},
       2,
       "RRGGBB"},
      {{"fit", photo, "--size", "8x8", "--kind", "jpg", "--quality", "96", "-o", dir / "o.wqt"},
       2,
       "от 1 до 95 или auto"},
      {{"fit", dir / "notes.txt", "--size", "8x8", "--kind", "raw", "-o", dir / "o.wqt"},
       2,
       wqt::kUnknownPictureMessage},
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
  EXPECT_TRUE(fs::exists(dir / "named.bin") && fs::exists(dir / "t/theme.json"));
}

// A caption path names its file; its data on stdout with "-o -"; text from a theme reaches the
// terminal with its control characters escaped, and the JSON with them as escapes.
TEST_F(Cli, OutputOfListInfoAndExtract) {
  const fs::path theme = editorTheme(dir, WQT_SAMPLE_MAP, "in.wqt");
  const Outcome list = run(dir, {"--map", WQT_SAMPLE_MAP, "list", theme, "--json"});
  ASSERT_EQ(list.status, 0);
  const auto doc = nlohmann::json::parse(list.out);
  EXPECT_EQ(doc["header"]["author"], "Автор");
  EXPECT_EQ(doc["header"]["type"], "white");  // as theme.json and set --type name it
  ASSERT_EQ(doc["files"].size(), 15u);
  EXPECT_EQ(doc["files"][7]["path"], "Меню/Иконки меню/Камера");
  EXPECT_EQ(doc["files"][11]["size"], 128);

  const Outcome extract = run(dir, {"--map", WQT_SAMPLE_MAP, "extract", theme, "Замок", "-o", "-"});
  EXPECT_EQ(extract.status, 0) << extract.err;
  EXPECT_EQ(extract.out, extracted(dir, theme, "Замок"));

  ASSERT_EQ(run(dir, {"--map", WQT_SAMPLE_MAP, "set", theme, "--author", "\x1b]0;x\x07", "-o",
                      dir / "esc.wqt"})
                .status,
            0);
  const Outcome info = run(dir, {"--map", WQT_SAMPLE_MAP, "info", dir / "esc.wqt"});
  EXPECT_NE(info.out.find("Автор темы: \\x1b]0;x\\x07\n"), std::string::npos) << info.out;
  // Controls in a caption, C1 and bidirectional ones too, stay escapes in the JSON.
  const fs::path controls =
      dir.write("controls.rxt",
                "<ThemeSign \"ORVALEN-THEME\" \"WQT-THEME-FORMAT1\">\n<ThemeSettings \"9Ch\" "
                "\"100h\" \"1\">\n<file \"Ж\u009b2J\u202e\" \"0\" \"COLORTAB\" \"4\">\n");
  const Outcome escaped =
      run(dir, {"--map", controls, "list", editorTheme(dir, controls, "c.wqt"), "--json"});
  EXPECT_NE(escaped.out.find("\"Ж\\u009b2J\\u202e\""), std::string::npos) << escaped.out;
}

// Without --map, a map found nowhere is reported with every place searched.
TEST_F(Cli, MapFoundNowhereNamesEveryPlaceSearched) {
  fs::create_directories(dir / "bin");
  fs::copy_file(WQT_CLI, dir / "bin/orvalen-wqt");
  const Outcome missing = finish(dir, start(dir, {"info", "t.wqt"}, dir / "bin/orvalen-wqt",
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

// Pack takes files only from inside its folder, whatever theme.json names.
TEST_F(Cli, PackReadsNothingOutsideTheFolder) {
  const fs::path theme = editorTheme(dir, WQT_SAMPLE_MAP, "in.wqt");
  const fs::path folder = dir / "u";
  ASSERT_EQ(run(dir, {"--map", WQT_SAMPLE_MAP, "unpack", theme, folder}).status, 0);
  const std::string json = text(folder / "theme.json");
  fs::create_directory(dir / "outside");
  fs::copy_file(folder / "Превью темы.jpg", dir / "outside/p.jpg");
  fs::create_symlink(dir / "outside/p.jpg", folder / "link.jpg");
  fs::create_directory_symlink(dir / "outside", folder / "Меню/link");
  for (const char* path : {"../outside/p.jpg", "/etc/hostname", "link.jpg", "Меню/link/p.jpg"}) {
    SCOPED_TRACE(path);
    std::string changed = json;
    const std::string from = "\"Превью темы.jpg\"";
    changed.replace(changed.find(from), from.size(), std::string("\"") + path + "\"");
    dir.write("u/theme.json", changed);
    const Outcome pack = run(dir, {"--map", WQT_SAMPLE_MAP, "pack", folder, dir / "out.wqt"});
    EXPECT_EQ(pack.status, 1);
    EXPECT_NE(pack.err.find("за пределы папки"), std::string::npos) << pack.err;
    EXPECT_FALSE(fs::exists(dir / "out.wqt"));
  }
}

TEST_F(Cli, InterruptedCommandsLeaveNoTemporaryFiles) {
  const fs::path map = dir.write("many.rxt", manyFilesMap(2500));
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
    for (const auto& f : fs::directory_iterator(dir.path()))
      if (f.path().filename().string().starts_with(prefix)) return true;
    return false;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.temporary);
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), {"--map", map});
    const pid_t pid = start(dir, args);
    ASSERT_GT(pid, 0);
    bool seen = false;
    for (int i = 0; i < 200000 && !(seen = temporaryExists(c.temporary)); ++i)
      if (waitpid(pid, nullptr, WNOHANG) == pid) break;
    ASSERT_TRUE(seen) << "the command ended before its temporary file appeared";
    kill(pid, c.signal);
    const Outcome result = finish(dir, pid);
    EXPECT_EQ(result.status, 128 + c.signal) << result.err;
    EXPECT_FALSE(temporaryExists(c.temporary));
    EXPECT_FALSE(fs::exists(dir / "out") || fs::exists(dir / "out.wqt"));
  }
}

// The fitting options of fit, replace --fit and pack --fit give the core's fit with the options
// they name; a file that needs no fitting is stored as it is.
TEST_F(Cli, FitOptionsGiveTheCoresFit) {
  const fs::path theme = editorTheme(dir, WQT_SAMPLE_MAP, "in.wqt");
  const fs::path photo = dir.write("photo.jpg", wqt::test::quadrantJpeg(90, 50));
  const fs::path exact = dir.write("exact.jpg", wqt::test::encodeJpeg(60, 60));
  const fs::path out = dir / "out";
  const wqt::FitTarget camera{wqt::FileKind::Jpg, 60, 60}, lock{wqt::FileKind::Raw, 32, 32};
  wqt::FitOptions left;
  wqt::applyGravity(left, wqt::Gravity::Left);
  left.quality = 40;
  wqt::FitOptions inside;
  inside.mode = wqt::FitMode::Inside;
  inside.background = {0xFF, 0x80, 0x00};
  wqt::FitOptions stretch;
  stretch.mode = wqt::FitMode::Stretch;
  stretch.dither = wqt::Dither::Ordered;
  wqt::FitOptions undithered;
  undithered.dither = wqt::Dither::None;
  const struct {
    std::vector<std::string> args;
    std::string entry;  // the entry replace wrote, or none for fit
    std::optional<wqt::FitTarget> target;
    wqt::FitOptions options;
  } cases[] = {
      {{"fit", photo, "--size", "60x60", "--kind", "jpg", "--gravity", "left", "--quality", "40"},
       "",
       camera,
       left},
      {{"fit", photo, "--size", "32x32", "--kind", "raw", "--fit", "inside", "--background",
        "ff8000"},
       "",
       lock,
       inside},
      {{"replace", theme, "Замок", photo, "--fit", "stretch", "--dither", "ordered"},
       "Замок",
       lock,
       stretch},
      {{"replace", theme, "Камера", photo, "--fit", "crop", "--dither", "none"},
       "Камера",
       camera,
       undithered},
      {{"replace", theme, "Камера", exact, "--fit", "crop"}, "Камера", std::nullopt, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args.back());
    std::vector<std::string> args = {"--map", WQT_SAMPLE_MAP};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.insert(args.end(), {"-o", out});
    const Outcome outcome = run(dir, args);
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(c.entry.empty() ? text(out) : extracted(dir, out, c.entry),
              c.target ? coreFit(c.args[c.entry.empty() ? 1 : 3], *c.target, c.options)
                       : text(c.args[3]));
  }

  // Pack fits what is not exact with --fit, and without it refuses, writing nothing.
  const fs::path folder = dir / "u";
  ASSERT_EQ(run(dir, {"--map", WQT_SAMPLE_MAP, "unpack", theme, folder}).status, 0);
  fs::copy_file(photo, folder / "Меню/Иконки меню/Камера.jpg",
                fs::copy_options::overwrite_existing);
  const Outcome refused = run(dir, {"--map", WQT_SAMPLE_MAP, "pack", folder, dir / "p.wqt"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_FALSE(fs::exists(dir / "p.wqt"));
  const Outcome packed = run(dir, {"--map", WQT_SAMPLE_MAP, "pack", folder, dir / "p.wqt", "--fit",
                                   "crop", "--dither", "none"});
  ASSERT_EQ(packed.status, 0) << packed.err;
  EXPECT_EQ(extracted(dir, dir / "p.wqt", "Камера"), coreFit(photo, camera, undithered));
}

// A map of flat-colour pictures whose pixels can be found again wherever they are shown: a JPG
// wider than a phone's screen, a small JPG, a RAW picture, a colour table.
struct FlatPicture {
  const char* kind;
  int width, height;
  std::uint8_t r, g, b;  // as shown: a RAW picture's colour after RGB565
};
constexpr FlatPicture kFlat[] = {
    {"JPG", 480, 120, 255, 255, 0},  // yellow, wider than a phone
    {"JPG", 160, 120, 255, 0, 0},    // red
    {"RAW", 64, 48, 0, 252, 0},      // green: RGB565 0x07E0
};

fs::path flatTheme(const TempDir& dir) {
  std::string m =
      "<ThemeSign \"ORVALEN-THEME\" \"WQT-THEME-FORMAT1\">\n<ThemeSettings \"9Ch\" \"200h\" "
      "\"4\">\n<group \"Картинки\">\n";
  for (const FlatPicture& p : kFlat) {
    m += "<file \"" + std::string(p.kind) + " " + std::to_string(p.width) + "\" \"0\" \"" + p.kind +
         "\" \"" + std::to_string(p.width) + "\" \"" + std::to_string(p.height) + "\">\n";
  }
  const fs::path mapPath =
      dir.write("flat.rxt", m + "</group \"\">\n<file \"Цвета\" \"0\" \"COLORTAB\" \"4\">\n");
  const wqt::ThemeMap map = loadMap(mapPath);
  wqt::ThemeDocument doc;
  doc.create(map.settings());
  for (std::size_t e = 0; e < std::size(kFlat); ++e) {
    const FlatPicture& p = kFlat[e];
    Bytes bytes;
    if (std::string(p.kind) == "RAW") {
      for (int i = 0; i < p.width * p.height; ++i) bytes.insert(bytes.end(), {0xE0, 0x07});
    } else {
      wqt::test::JpegRecipe recipe;
      recipe.width = p.width, recipe.height = p.height;
      recipe.fill = wqt::test::JpegFill::Solid;
      recipe.r = p.r, recipe.g = p.g, recipe.b = p.b;
      bytes = wqt::test::encodeJpeg(recipe);
    }
    doc.replaceSlot(e + 1, bytes);
  }
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

struct Box {
  int left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1;
  long pixels = 0;
  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
};

// Where the picture's colour lies in a screenshot.
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

// Valid HTML whose every picture a browser shows where a person sees it: at its own size where
// it fits, scaled down with its aspect kept where it does not, inside a phone's 360 px.
TEST_F(Cli, CatalogueIsValidHtmlShowingEveryPictureOnADesktopAndAPhone) {
  const fs::path page = dir / "flat.html";
  const Outcome made =
      run(dir, {"--map", dir / "flat.rxt", "catalogue", flatTheme(dir), "-o", page});
  ASSERT_EQ(made.status, 0) << made.err;
  const Outcome parsed = finish(
      dir, start(dir,
                 {"-c",
                  "import html5lib, sys\n"
                  "html5lib.HTMLParser(strict=True).parse(open(sys.argv[1], 'rb').read().decode())",
                  page},
                 "/usr/bin/python3"));
  EXPECT_EQ(parsed.status, 0) << parsed.err;
  fs::copy_file(page, dir / "phone-page.html");
  const fs::path phone = dir.write("phone.html",
                                   "<!DOCTYPE html><html><body style=\"margin:0\"><iframe "
                                   "src=\"phone-page.html\" style=\"width:360px;height:2400px;"
                                   "border:0\"></iframe></body></html>");
  const struct {
    fs::path shown;
    int width, room;
  } screens[] = {{page, 1000, 1000}, {phone, 800, 360}};
  for (const auto& [shown, width, room] : screens) {
    SCOPED_TRACE(shown);
    const fs::path shot = dir / "shot.png";
    fs::remove(shot);
    const Outcome result =
        chromium(dir, {"--window-size=" + std::to_string(width) + ",2400",
                       "--screenshot=" + shot.string(), "file://" + shown.string()});
    ASSERT_TRUE(fs::exists(shot)) << result.err;
    const wqt::RgbPicture screen = wqt::decodePng(wqt::readWholeFile(shot), 1u << 26);
    for (const FlatPicture& p : kFlat) {
      SCOPED_TRACE(p.width);
      const Box box = find(screen, p);
      ASSERT_GT(box.pixels, 0);
      EXPECT_LT(box.right, room);
      if (p.width + 64 <= room / (room == 360 ? 1 : 3)) {
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

// Written into the file that is there (a thumbnail service reads back the file it made), through
// a link into the file it names; a broken theme ends at once with status 1, the file left as it
// was; a theme without a picture makes nothing; a folder is no place for it.
TEST_F(Cli, ThumbnailIsTheFirstPictureOrNothingAtAll) {
  const fs::path theme = flatTheme(dir);
  const fs::path map = dir / "flat.rxt", out = dir / "out.png";
  const std::size_t good = fs::file_size(theme);
  const auto thumbnail = [&](const fs::path& t, std::vector<std::string> size, const fs::path& to) {
    std::vector<std::string> args = {"--map", map, "thumbnail"};
    args.insert(args.end(), size.begin(), size.end());
    args.insert(args.end(), {t, to});
    return run(dir, args);
  };
  const struct {
    std::vector<std::string> size;
    int width, height;
  } sizes[] = {{{}, 256, 64}, {{"-s", "128"}, 128, 32}};
  for (const auto& [size, width, height] : sizes) {
    SCOPED_TRACE(width);
    dir.write("out.png", "");
    struct stat before {
    }, after{};
    ::stat(out.c_str(), &before);
    const Outcome result = thumbnail(theme, size, out);
    ASSERT_EQ(result.status, 0) << result.err;
    ::stat(out.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    const wqt::RgbPicture png = wqt::decodePng(wqt::readWholeFile(out), 1u << 20);
    EXPECT_EQ(png.width, width);
    EXPECT_EQ(png.height, height);
    EXPECT_EQ(find(png, kFlat[0]).pixels, png.width * png.height);
  }
  dir.write("target.png", "x");
  fs::create_symlink(dir / "target.png", dir / "link.png");
  ASSERT_EQ(thumbnail(theme, {}, dir / "link.png").status, 0);
  EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
  EXPECT_GT(fs::file_size(dir / "target.png"), 8u);

  Bytes broken = wqt::readWholeFile(theme);
  broken[0] ^= 1;
  dir.write("out.png", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
  const auto started = std::chrono::steady_clock::now();
  const Outcome refused = thumbnail(dir.write("broken.wqt", broken), {}, out);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find(wqt::kSignature1Status), std::string::npos) << refused.err;
  EXPECT_EQ(fs::file_size(out), 8u);

  wqt::ThemeDocument doc;
  doc.create(loadMap(map).settings());
  const fs::path none =
      dir.write("none.wqt", wqt::joinParts(doc.rebuildForSave(loadMap(map).settings())));
  fs::remove(out);
  const Outcome nothing = thumbnail(none, {}, out);
  EXPECT_EQ(nothing.status, 1);
  EXPECT_NE(nothing.err.find("нет рисунков"), std::string::npos) << nothing.err;
  EXPECT_FALSE(fs::exists(out));
  const Outcome folder = thumbnail(theme, {}, dir.path());
  EXPECT_EQ(folder.status, 2);
  EXPECT_NE(folder.err.find("папка"), std::string::npos) << folder.err;
  EXPECT_EQ(thumbnail(theme, {}, dir / "." / "flat.wqt").status, 2);
  EXPECT_EQ(wqt::readWholeFile(theme).size(), good);
}

}  // namespace
