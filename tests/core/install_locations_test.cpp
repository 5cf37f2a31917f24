// Where an installed editor finds its map and keeps its scratch file: the XDG folders from the
// environment, the map lookup order and the scratch folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

#include "base/xdg_dirs.h"
#include "error_of.h"
#include "files/preview.h"
#include "map/map_location.h"
#include "temp_dir.h"

namespace {

using Path = std::filesystem::path;
using Env = std::map<std::string, std::string>;

wqt::XdgDirs dirsOf(const Env& env) {
  return wqt::xdgDirs([&](const char* name) -> const char* {
    const auto it = env.find(name);
    return it == env.end() ? nullptr : it->second.c_str();
  });
}

TEST(XdgDirs, FromTheEnvironmentWithDefaults) {
  struct Row {
    const char* what;
    Env env;
    Path config, dataHome, cache;
    std::vector<Path> data;
  };
  const std::vector<Path> defaultData = {"/usr/local/share", "/usr/share"};
  const Row rows[] = {
      {"unset",
       {{"HOME", "/home/u"}},
       "/home/u/.config",
       "/home/u/.local/share",
       "/home/u/.cache",
       defaultData},
      {"set",
       {{"HOME", "/home/u"},
        {"XDG_CONFIG_HOME", "/c"},
        {"XDG_DATA_HOME", "/d"},
        {"XDG_CACHE_HOME", "/k"},
        {"XDG_DATA_DIRS", "/d1:/d2"}},
       "/c",
       "/d",
       "/k",
       {"/d1", "/d2"}},
      {"empty",
       {{"HOME", "/home/u"},
        {"XDG_CONFIG_HOME", ""},
        {"XDG_DATA_HOME", ""},
        {"XDG_CACHE_HOME", ""},
        {"XDG_DATA_DIRS", ""}},
       "/home/u/.config",
       "/home/u/.local/share",
       "/home/u/.cache",
       defaultData},
      {"relative paths are ignored",
       {{"HOME", "/home/u"},
        {"XDG_CONFIG_HOME", "c"},
        {"XDG_DATA_HOME", "d"},
        {"XDG_CACHE_HOME", "./k"},
        {"XDG_DATA_DIRS", "d0::/d1:rel:/d2:"}},
       "/home/u/.config",
       "/home/u/.local/share",
       "/home/u/.cache",
       {"/d1", "/d2"}},
      {"no data folder left",
       {{"HOME", "/h"}, {"XDG_DATA_DIRS", "a:b"}},
       "/h/.config",
       "/h/.local/share",
       "/h/.cache",
       defaultData},
      {"no home", {}, "", "", "", defaultData},
      {"relative home", {{"HOME", "h"}}, "", "", "", defaultData},
  };
  for (const Row& row : rows) {
    const wqt::XdgDirs dirs = dirsOf(row.env);
    EXPECT_EQ(dirs.configHome, row.config) << row.what;
    EXPECT_EQ(dirs.dataHome, row.dataHome) << row.what;
    EXPECT_EQ(dirs.cacheHome, row.cache) << row.what;
    EXPECT_EQ(dirs.dataDirs, row.data) << row.what;
  }
}

// The lookup's folders inside one temporary folder: bin/, config/, local/, cache/, data1/,
// data2/ and the program's own share/.
struct Layout {
  wqt::test::TempDir dir;
  Path bin = dir / "bin";
  wqt::XdgDirs xdg{dir / "config", dir / "local", dir / "cache", {dir / "data1", dir / "data2"}};

  Layout() { std::filesystem::create_directory(bin); }

  void putMap(const Path& folder) const {
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "theme.rxt") << "<ThemeSign \"A\" \"B\">\n";
  }
};

TEST(MapLookup, BesideTheExecutableThenUserConfigThenUserDataThenDataFoldersThenOwnPrefix) {
  struct Row {
    const char* what;
    std::vector<const char*> mapsIn;  // of "bin", "config", "local", "data1", "data2", "prefix"
    const char* found;
  };
  const Row rows[] = {
      {"portable copy wins", {"bin", "config", "local", "data1", "data2"}, "bin"},
      {"user's own map", {"config", "local", "data1", "data2"}, "config"},
      {"installed for the user (--prefix ~/.local)", {"local", "data1", "data2"}, "local"},
      {"first data folder", {"data1", "data2"}, "data1"},
      {"later data folder", {"data2", "prefix"}, "data2"},
      {"installed elsewhere (--prefix /opt/...)", {"prefix"}, "prefix"},
      {"none: the missing map beside the executable", {}, "bin"},
  };
  for (const Row& row : rows) {
    Layout layout;
    const std::map<std::string, Path> folders = {
        {"bin", layout.bin},
        {"config", layout.xdg.configHome / "orvalen-wqt-manager"},
        {"local", layout.xdg.dataHome / "orvalen-wqt-manager"},
        {"data1", layout.xdg.dataDirs[0] / "orvalen-wqt-manager"},
        {"data2", layout.xdg.dataDirs[1] / "orvalen-wqt-manager"},
        {"prefix", layout.dir / "share" / "orvalen-wqt-manager"}};
    for (const char* where : row.mapsIn) layout.putMap(folders.at(where));
    EXPECT_EQ(wqt::defaultMapPath(layout.bin, layout.xdg), folders.at(row.found) / "theme.rxt")
        << row.what;
  }
}

TEST(MapLookup, SearchPlacesInLookupOrderWithoutTheHomeFoldersWhenThereIsNoHomeNorTwice) {
  Layout layout;
  const auto inApp = [](const Path& folder) {
    return folder / "orvalen-wqt-manager" / "theme.rxt";
  };
  EXPECT_EQ(wqt::mapSearchPlaces(layout.bin, layout.xdg),
            (std::vector<Path>{layout.bin / "theme.rxt", inApp(layout.xdg.configHome),
                               inApp(layout.xdg.dataHome), inApp(layout.xdg.dataDirs[0]),
                               inApp(layout.xdg.dataDirs[1]), inApp(layout.dir / "share")}));
  layout.xdg.configHome.clear();
  layout.xdg.dataHome.clear();
  layout.xdg.cacheHome.clear();
  EXPECT_EQ(wqt::mapSearchPlaces(layout.bin, layout.xdg),
            (std::vector<Path>{layout.bin / "theme.rxt", inApp(layout.xdg.dataDirs[0]),
                               inApp(layout.xdg.dataDirs[1]), inApp(layout.dir / "share")}));
  // A prefix the data folders already name is not searched twice.
  layout.xdg.dataDirs[1] = layout.dir / "share";
  EXPECT_EQ(wqt::mapSearchPlaces(layout.bin, layout.xdg),
            (std::vector<Path>{layout.bin / "theme.rxt", inApp(layout.xdg.dataDirs[0]),
                               inApp(layout.xdg.dataDirs[1])}));
}

TEST(ScratchFile, BesideTheExecutableOnlyWithItsOwnMapElseInTheUserCache) {
  struct Row {
    const char* what;
    bool mapBeside;        // whether bin/ holds a map
    const char* mapInUse;  // relative to the layout's folder
    bool hasHome;
    const char* expected;  // likewise
  };
  const char* const cache = "cache/orvalen-wqt-manager/temp";
  const Row rows[] = {
      {"build folder or portable copy", true, "bin/theme.rxt", true, "bin/temp"},
      {"its own map named another way", true, "bin/../bin/theme.rxt", true, "bin/temp"},
      // bin/ is writable here, as /usr/bin is to root.
      {"installed map", true, "data1/orvalen-wqt-manager/theme.rxt", true, cache},
      {"user's own map", true, "config/orvalen-wqt-manager/theme.rxt", true, cache},
      {"a map that is not there", true, "bin/missing.rxt", true, cache},
      {"no map beside the executable", false, "bin/theme.rxt", true, cache},
      {"no cache without a home folder", true, "data1/orvalen-wqt-manager/theme.rxt", false,
       "bin/temp"},
  };
  for (const Row& row : rows) {
    Layout layout;
    if (row.mapBeside) layout.putMap(layout.bin);
    layout.putMap(layout.xdg.configHome / "orvalen-wqt-manager");
    layout.putMap(layout.xdg.dataDirs[0] / "orvalen-wqt-manager");
    if (!row.hasHome) layout.xdg.cacheHome.clear();
    const Path scratch = wqt::scratchFilePath(layout.dir / row.mapInUse, layout.bin, layout.xdg);
    EXPECT_EQ(scratch, layout.dir / row.expected) << row.what;
    if (scratch.parent_path() != layout.bin) {
      struct stat st {};
      ASSERT_EQ(::stat(scratch.parent_path().c_str(), &st), 0) << row.what;
      EXPECT_EQ(st.st_mode & 0777, 0700u) << row.what;
    }
  }
}

TEST(ScratchFile, CacheFolderThatCannotBeMadeIsAFileCreateError) {
  Layout layout;
  std::filesystem::remove(layout.bin);
  layout.dir.write("cache", std::string("a file where the cache folder should be"));
  const std::string msg = wqt::test::errorOf(
      [&] { wqt::scratchFilePath(layout.bin / "theme.rxt", layout.bin, layout.xdg); });
  EXPECT_NE(msg.find((layout.dir / "cache" / "orvalen-wqt-manager").string()), std::string::npos)
      << msg;
  EXPECT_NE(msg.find(std::strerror(ENOTDIR)), std::string::npos) << msg;
}

}  // namespace
