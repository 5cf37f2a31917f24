// Walking the tree and naming its nodes by caption path, however deep the groups nest.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "map/entry_paths.h"
#include "map/theme_map.h"
#include "map/tree_walk.h"
#include "temp_dir.h"

namespace {

std::string repeated(std::string_view text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

wqt::ThemeMap loaded(const std::string& text) {
  wqt::test::TempDir dir;
  wqt::ThemeMap map;
  wqt::xml::ValueTable values;
  map.load(dir.write("theme.rxt", text), values);
  return map;
}

// `depth` groups captioned `group`, one inside the other, with the file `file` in the innermost.
std::string nested(int depth, const std::string& group, const std::string& file) {
  return repeated("<group \"" + group + "\">\n", depth) + "<file \"" + file +
         "\" \"0\" \"COLORTAB\" \"4h\">\n" + repeated("</group \"\">\n", depth);
}

TEST(MapPaths, CaptionPathsKeepTheirEndWithinTheShownLength) {
  const struct {
    const char* name;
    std::string map;
    std::string path;  // of the last node
  } rows[] = {
      {"short", nested(2, "Меню", "Камера"), "Меню/Меню/Камера"},
      {"deep", nested(50000, "g", "f"), "…/" + repeated("g/", 127) + "f"},
      {"deep, empty captions", nested(200000, "", "f"), "…/" + repeated("/", 255) + "f"},
      // Windows-1251 "Ж" is two bytes in UTF-8: only the caption's end is shown.
      {"long caption", nested(1, "g", std::string(1000, '\xC6')), "…" + repeated("Ж", 128)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const wqt::ThemeMap map = loaded(row.map);
    EXPECT_EQ(wqt::captionPath(map, static_cast<int>(map.tree().size()) - 1), row.path);
    EXPECT_EQ(wqt::entryPath(map, 0), row.path);
  }
}

// Names compare as the captions read, whatever the map's encoding.
TEST(MapPaths, EntriesFoundByCaptionsOfAWindows1251Map) {
  // "Меню" / "Камера", then a caption of a byte the code page leaves undefined.
  const wqt::ThemeMap map = loaded(
      "<group \"\xCC\xE5\xED\xFE\">\n<file \"\xCA\xE0\xEC\xE5\xF0\xE0\" \"0\" "
      "\"RAW\" \"1\" \"1\">\n</group \"\">\n<file \"\x98\" \"0\" \"RAW\" \"1\" \"1\">\n");
  const struct {
    const char* text;
    std::int32_t entry;
  } rows[] = {
      {"Меню/Камера", 0},
      {"Меню/Кам", -1},
      {"?", 1},
  };
  for (const auto& row : rows)
    EXPECT_EQ(wqt::findEntry(map, row.text).entry, row.entry) << row.text;
}

TEST(MapPaths, WalkGivesEachNodeUnderTheRootWithItsDepth) {
  const wqt::ThemeMap map = loaded(
      "<group \"A\">\n<group \"B\">\n<file \"1\" \"0\" \"RAW\" \"1\" \"1\">\n"
      "</group \"\">\n<file \"2\" \"0\" \"RAW\" \"1\" \"1\">\n</group \"\">\n"
      "<file \"3\" \"0\" \"RAW\" \"1\" \"1\">\n");
  using Visits = std::vector<std::pair<int, std::size_t>>;
  const struct {
    int root;
    Visits visits;
  } rows[] = {
      {-1, {{0, 0}, {1, 1}, {2, 2}, {3, 1}, {4, 0}}},
      {0, {{1, 0}, {2, 1}, {3, 0}}},
      {1, {{2, 0}}},
      {2, {}},
  };
  for (const auto& row : rows) {
    Visits seen;
    wqt::forEachNode(map, row.root,
                     [&](int node, std::size_t depth) { seen.emplace_back(node, depth); });
    EXPECT_EQ(seen, row.visits) << row.root;
  }
}

}  // namespace
