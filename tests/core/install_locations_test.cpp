// Where an installed editor finds its map and keeps its scratch file: the XDG
// folders from the environment, the map lookup order and the scratch folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "base/xdg_dirs.h"
#include "error_of.h"
#include "files/preview.h"
#include "map/map_location.h"
#include "temp_dir.h"

namespace {

using Path = std::filesystem::path;

// The folders read from an environment of "NAME=value" words, as "config data
// cache dirs" with the data folders joined by ":".
std::string foldersOf(const std::string& env) {
  std::map<std::string, std::string> vars;
  std::istringstream words(env);
  for (std::string word; words >> word;) {
    const std::size_t at = word.find('=');
    vars[word.substr(0, at)] = word.substr(at + 1);
  }
  const wqt::XdgDirs dirs = wqt::xdgDirs([&](const char* name) -> const char* {
    const auto it = vars.find(name);
    return it == vars.end() ? nullptr : it->second.c_str();
  });
  std::string out =
      dirs.configHome.string() + " " + dirs.dataHome.string() + " " + dirs.cacheHome.string() + " ";
  for (const Path& p : dirs.dataDirs) out += p.string() + (p == dirs.dataDirs.back() ? "" : ":");
  return out;
}

TEST(XdgDirs, FromTheEnvironmentWithDefaults) {
  const std::string home = "/home/u/.config /home/u/.local/share /home/u/.cache ";
  const std::string data = "/usr/local/share:/usr/share";
  const struct {
    const char* env;
    std::string folders;
  } rows[] = {
      {"HOME=/home/u", home + data},
      {"HOME=/home/u XDG_CONFIG_HOME=/c XDG_DATA_HOME=/d XDG_CACHE_HOME=/k "
       "XDG_DATA_DIRS=/d1:/d2",
       "/c /d /k /d1:/d2"},
      {"HOME=/home/u XDG_CONFIG_HOME= XDG_DATA_HOME= XDG_CACHE_HOME= "
       "XDG_DATA_DIRS=",
       home + data},
      // Relative paths are ignored.
      {"HOME=/home/u XDG_CONFIG_HOME=c XDG_DATA_HOME=d XDG_CACHE_HOME=./k "
       "XDG_DATA_DIRS=d0::/d1:rel:/d2:",
       home + "/d1:/d2"},
      {"HOME=/h XDG_DATA_DIRS=a:b", "/h/.config /h/.local/share /h/.cache " + data},
      {"", "   " + data},
      {"HOME=h", "   " + data},
  };
  for (const auto& row : rows) EXPECT_EQ(foldersOf(row.env), row.folders) << row.env;
}

// The lookup's folders inside one temporary folder: bin/, config/, local/,
// cache/, data1/, data2/ and the program's own share/.
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

// The first search place that holds a map wins; the order itself is the search places' own rule.
TEST(MapLookup, FirstPlaceHoldingAMapElseBesideTheExecutable) {
  struct Row {
    const char* what;
    std::vector<const char*> mapsIn;  // of "bin", "config", "local", "data1", "data2", "prefix"
    const char* found;
  };
  const Row rows[] = {
      {"portable copy wins", {"bin", "config", "local", "data1", "data2"}, "bin"},
      {"later data folder", {"data2", "prefix"}, "data2"},
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
