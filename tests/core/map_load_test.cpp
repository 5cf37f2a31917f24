// Loading the theme map: settings, the tree, the entry table and the node index table; broken
// maps load or fail with a wqt::Error, their tables consistent and the file never written.
#include <gtest/gtest.h>

#include "base/core_error.h"
#include "error_of.h"
#include "map/theme_map.h"
#include "temp_dir.h"

namespace {

using wqt::ThemeMap;
using wqt::test::TempDir;

class MapLoad : public ::testing::Test {
 protected:
  // Loads the text as a map with this test's own value table.
  ThemeMap::LoadResult load(std::string_view text) {
    return map.load(dir.write("theme.rxt", text), values);
  }
  std::string loadError(std::string_view text) {
    try {
      load(text);
    } catch (const wqt::Error& e) {
      return e.what();
    }
    return "(no error)";
  }

  TempDir dir;
  wqt::xml::ValueTable values;
  ThemeMap map;
};

TEST_F(MapLoad, SettingsAndTheTypeSelector) {
  load(
      "; comment <ThemeSign \"no\" \"no\">\n"
      "<ThemeSign \"AAAAAAAAAAAAA\" \"BBBBBBBBBBBBBBBBB\">\n"
      "<ThemeSign \"SIG-ONE\" \"SIG-TWO\">\n"
      "<ThemeSettings \"9Ch\" \"0x100\" \"F\" \"77\">\n"
      "<ColorThemesSettings \"no\" \"98h\">\n");
  EXPECT_EQ(map.settings().signature1, "SIG-ONE");  // the second ThemeSign wins
  EXPECT_EQ(map.settings().signature2, "SIG-TWO");
  EXPECT_EQ(map.settings().tableOffset, 0x9C);
  EXPECT_EQ(map.settings().dataOffset, 0x100);
  EXPECT_EQ(map.settings().fileCount, 15);
  EXPECT_EQ(map.settings().typeByteOffset, 0x98);
  EXPECT_TRUE(map.typeSelectorShown());
  EXPECT_TRUE(map.settings().hasTypeByte());

  // Offsets keep their low 16 bits; another flag keeps the old offset and hides the selector.
  load("<ThemeSettings \"1FFFF\" \"10000\" \"2\">\n<ColorThemesSettings \"yes\" \"10\">\n");
  EXPECT_EQ(map.settings().tableOffset, 0xFFFF);
  EXPECT_EQ(map.settings().dataOffset, 0);
  EXPECT_EQ(map.settings().colourFlag, "yes");
  EXPECT_EQ(map.settings().typeByteOffset, 0x98);
  EXPECT_FALSE(map.typeSelectorShown());
  EXPECT_EQ(map.settings().signature1, "SIG-ONE");  // not set by this map: kept from the last load
}

TEST_F(MapLoad, NestedGroupsEntriesAndNodeIndex) {
  load(
      "<file \"Top\" \"0\" \"JPG\" \"120\" \"160\">\r\n"
      "<group \"G1\">\r\n"
      "  <group \"G2\">\r\n"
      "    <file \"Raw\" \"1\" \"RAW\" \"2\" \"1\">\r\n"
      "  </group \"\">\r\n"
      "  <file \"Tab\" \"2\" \"COLORTAB\" \"80h\">\r\n"
      "  </group>\r\n"  // no value: ignored, closes nothing
      "  <file \"Anim\" \"3\" \"ANI2\" \"16\" \"24\">\r\n"
      "</group \"\">\r\n"
      "<group \"Empty\">\r\n"
      "</group \"\">\r\n"
      "<file \"Odd\" \"4\" \"PNG\" \"1\" \"2\">\r\n"
      "<group \"Trailing\">\r\n");
  std::string nodes;  // caption:parent of each node
  for (const auto& node : map.tree())
    nodes += node.caption + ":" + std::to_string(node.parent) + " ";
  EXPECT_EQ(nodes, "Top:-1 G1:-1 G2:1 Raw:2 Tab:1 Anim:1 Empty:-1 Odd:-1 Trailing:-1 ");
  EXPECT_EQ(map.tree()[1].children, (std::vector<int>{2, 4, 5}));
  // kind width x height size; an unknown kind still gets its entry, without dimensions.
  std::string entries;
  for (const auto& e : map.entries()) {
    entries += e.kindName + " " + std::to_string(e.width) + "x" + std::to_string(e.height) + " " +
               std::to_string(e.expectedSize) + ", ";
  }
  EXPECT_EQ(entries, "JPG 120x160 0, RAW 2x1 0, COLORTAB 0x0 128, ANI2 16x24 0, PNG 0x0 0, ");

  // Files hold their entry numbers; groups before the last file 0; past the last file -1.
  const std::vector<std::int32_t> byNode{0, 0, 0, 1, 2, 3, 0, 4, -1};
  for (std::size_t i = 0; i < byNode.size(); ++i)
    EXPECT_EQ(map.entryOfNode(static_cast<int>(i)), byNode[i]) << i;
  EXPECT_EQ(map.entryOfNode(-1), -1);

  // A smaller map loaded next keeps nothing of this one: nodes, child lists, entries, node index.
  load(
      "<group \"G\">\n<file \"F\" \"0\" \"RAW\" \"1\" \"1\">\n"
      "<file \"H\" \"1\" \"JPG\" \"5\" \"6\">\n<file \"K\" \"2\" \"JPG\" \"7\" \"8\">\n");
  ASSERT_EQ(map.tree().size(), 4u);
  EXPECT_EQ(map.tree()[0].children, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(map.tree()[1].caption, "F");
  EXPECT_TRUE(map.tree()[1].children.empty());
  ASSERT_EQ(map.entries().size(), 3u);
  EXPECT_EQ(map.entries()[2].kindName, "JPG");  // was "COLORTAB", 80h
  EXPECT_EQ(map.entries()[2].expectedSize, 0);
  EXPECT_EQ(map.entries()[2].width, 7);
  EXPECT_EQ(map.entryOfNode(4), -1);
}

// A colour table's size is kept whole, up to the largest a theme's size field holds.
TEST_F(MapLoad, ColourTableSizes) {
  const struct {
    const char* size;
    std::uint32_t read;
  } rows[] = {
      {"80000h", 0x80000},
      {"FFFFFFFFh", 0xFFFFFFFF},
      {"100000000h", 0xFFFFFFFF},
  };
  for (const auto& row : rows) {
    load(std::string("<file \"T\" \"0\" \"COLORTAB\" \"") + row.size + "\">\n");
    EXPECT_EQ(map.entries()[0].expectedSize, row.read) << row.size;
  }
}

// The slots a line leaves behind survive the lines after it, whether a line ends in LF, in
// CR LF, holds a stray CR or is cut by a Ctrl-Z, and the next load of a map. A Ctrl-Z at a
// line's start ends the map.
TEST_F(MapLoad, ValuesStickAcrossLinesAndLoads) {
  for (const std::string e : {"\n", "\r\n"}) {
    load("<dims \"a\" \"b\" \"c\" \"64\" \"4\r8\" \"six\">" + e +
         "<other \"x\">\x1A<file \"lost\">" + e + "<file \"F\" \"1\" \"RAW\">" + e + "\x1A" + e +
         "<file \"H\" \"1\" \"JPG\">" + e);
    ASSERT_EQ(map.entries().size(), 1u) << "line end " << (e.size() == 1 ? "LF" : "CR LF");
    EXPECT_EQ(map.entries()[0].width, 64);
    EXPECT_EQ(map.entries()[0].height, 48);
    EXPECT_EQ(values, (wqt::xml::ValueTable{"F", "1", "RAW", "64", "48", "six"}));
  }
  load("<file \"G\" \"1\" \"ANI2\">\n");
  EXPECT_EQ(map.entries()[0].height, 48);
}

TEST_F(MapLoad, ErrorsLeaveWhatWasBuilt) {
  struct Row {
    const char* text;
    const char* message;
    std::size_t nodes;
  } rows[] = {
      {"<group \"A\">\n</group \"\">\n</group \"\">\n<file \"F\" \"1\" \"JPG\" \"1\" \"1\">\n",
       "Range check error", 1},
      {"<file \"F\" \"1\" \"JPG\" \"24O\" \"1\">\n<file \"G\" \"1\" \"JPG\" \"1\" \"1\">\n",
       "'24O' is not a valid integer value", 1},
      {"<file \"F\" \"1\" \"RAW\" \"1\" \"\">\n", "'' is not a valid integer value", 1},
      // The value in the message reads as the captions do: "шир" in Windows-1251 and in UTF-8.
      {"<file \"F\" \"1\" \"JPG\" \"\xF8\xE8\xF0\" \"1\">\n", "'шир' is not a valid integer value",
       1},
      {"<file \"Ф\" \"1\" \"JPG\" \"шир\" \"1\">\n", "'шир' is not a valid integer value", 1},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(loadError(r.text), r.message);
    EXPECT_EQ(map.tree().size(), r.nodes) << r.text;
  }
  // What was built is linked: the group holds its file, the file its entry.
  loadError(
      "<group \"A\">\n<file \"F\" \"1\" \"RAW\" \"1\" \"1\">\n</group \"\">\n</group \"\">\n");
  EXPECT_EQ(map.tree()[0].children, std::vector<int>{1});
  EXPECT_EQ(map.entryOfNode(1), 0);
}

TEST_F(MapLoad, SelectorStaysAsFarAsTheLoadGot) {
  EXPECT_EQ(loadError("<ColorThemesSettings \"no\" \"98\">\n</group \"\">\n"), "Range check error");
  EXPECT_TRUE(map.typeSelectorShown());
}

// A file the system cannot read: reading the process's memory at address 0 fails with EIO.
TEST_F(MapLoad, UnreadableMapReportsTheTextFileError) {
  EXPECT_EQ(wqt::test::errorOf([&] { map.load("/proc/self/mem", values); }), "I/O error 5");
}

// Only a file or a link to one is the map; a missing map empties the tree and hides the selector,
// the rest staying as the last load left it.
TEST_F(MapLoad, OnlyAFileOrALinkToOneIsTheMap) {
  std::filesystem::create_directory(dir / "folder");
  std::filesystem::create_symlink(
      dir.write("real.rxt",
                "<ThemeSettings \"9C\" \"100\" \"1\">\n<file \"F\" \"1\" \"JPG\" \"1\" \"1\">\n"
                "<ColorThemesSettings \"no\" \"98\">\n"),
      dir / "link.rxt");
  EXPECT_FALSE(wqt::mapExists(dir / "absent.rxt"));
  EXPECT_TRUE(wqt::mapExists(dir / "link.rxt"));
  EXPECT_EQ(map.load(dir / "link.rxt", values), ThemeMap::LoadResult::Loaded);
  EXPECT_FALSE(wqt::mapExists(dir / "folder"));
  EXPECT_EQ(map.load(dir / "folder", values), ThemeMap::LoadResult::MapMissing);
  EXPECT_TRUE(map.tree().empty());
  EXPECT_FALSE(map.typeSelectorShown());
  EXPECT_EQ(map.entries().size(), 1u);
  EXPECT_EQ(map.entryOfNode(0), 0);  // the node index table is kept too
  EXPECT_EQ(map.settings().fileCount, 1);
}

TEST_F(MapLoad, CaptionsDecodeByTheMapsEncoding) {
  const struct {
    const char* name;
    const char* text;
    bool utf8;
    const char* caption;
  } rows[] = {
      // Windows-1251 bytes of "Меню".
      {"Windows-1251", "<group \"\xCC\xE5\xED\xFE\">\n", false, "Меню"},
      {"UTF-8", "<group \"Меню\">\n", true, "Меню"},
      // Pure ASCII with a byte-order mark counts as UTF-8; the mark does not hide the first
      // element.
      {"ASCII after a mark", "\xEF\xBB\xBF<group \"Menu\">\n", true, "Menu"},
      {"UTF-8 after a mark", "\xEF\xBB\xBF<group \"Меню\">\n", true, "Меню"},
      // A mark before text that is not UTF-8 is skipped, and the text read as Windows-1251.
      {"Windows-1251 after a mark", "\xEF\xBB\xBF<group \"\xCC\xE5\xED\xFE\">\n", false, "Меню"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    load(r.text);
    EXPECT_EQ(map.captionsAreUtf8(), r.utf8);
    EXPECT_EQ(map.captionUtf8(0), r.caption);
  }
}

TEST(SampleMap, LoadsWithItsTreeEntriesAndSettings) {
  ThemeMap map;
  wqt::xml::ValueTable values;
  ASSERT_EQ(map.load(WQT_SAMPLE_MAP, values), ThemeMap::LoadResult::Loaded);
  EXPECT_EQ(map.settings().signature1.size(), 13u);
  EXPECT_EQ(map.settings().signature2.size(), 17u);
  EXPECT_EQ(map.settings().fileCount, map.entries().size());
  EXPECT_TRUE(map.typeSelectorShown());
  // Regions leave room for one another: type byte, size table, gap, data.
  EXPECT_GE(map.settings().typeByteOffset, 152);
  EXPECT_LT(map.settings().typeByteOffset, map.settings().tableOffset);
  EXPECT_LE(map.settings().tableOffset + 4 * map.settings().fileCount, map.settings().dataOffset);

  for (int i = 0; i < static_cast<int>(map.tree().size()); ++i) {
    if (map.tree()[static_cast<std::size_t>(i)].children.empty()) {
      EXPECT_GE(map.entryOfNode(i), 0);
    }
  }
}

}  // namespace
