// The map line scanner: line rules, tag names, values and the two number readers.
#include <gtest/gtest.h>

#include "base/core_error.h"
#include "map/xml_lib.h"
#include "tests/core/map_scanner_views.h"

namespace {

using namespace wqt::xml;

TEST(Cut, ModesAroundTheFirstOccurrence) {
  struct Row {
    const char* text;
    char c;
    int mode;
    const char* expected;
  } rows[] = {
      {"ab<cd<ef", '<', 1, "<cd<ef"},
      {"ab<cd<ef", '<', 2, "cd<ef"},
      {"ab<cd<ef", '<', 3, "ab<"},
      {"ab<cd<ef", '<', 4, "ab"},
      {"ab<cd<ef", '<', 0, "ab<cd<ef"},
      {"ab<cd<ef", '<', 7, "ab<cd<ef"},
      {"abc", '<', 2, "ERROR"},
      {"abc", '<', 9, "ERROR"},
      {"<", '<', 2, ""},
      {"<", '<', 4, ""},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(cut(r.text, r.c, r.mode), r.expected) << r.text << " mode " << r.mode;
  }
}

TEST(LineIsSkipped, ShortCommentAndTagLines) {
  struct Row {
    const char* line;
    bool skipped;
  } rows[] = {
      {"<a b", true},                // four characters, even though it is a tag
      {"<a \"x", false},             // five characters starting with "<"
      {"; <file \"x\">", true},      // comment
      {"  ;x <file \"a\">", true},   // ";" before the first "<"
      {"  <file \"a;b\">", false},   // ";" after the first "<"
      {"plain text line", true},     // no "<" at all
      {"\t\t<group \"G\">", false},  // indentation does not matter
      {"", true},
  };
  for (const Row& r : rows) EXPECT_EQ(lineIsSkipped(r.line), r.skipped) << r.line;
}

TEST(TagName, RunAfterTheAngleUpToTheFirstSpace) {
  struct Row {
    const char* line;
    const char* tag;
  } rows[] = {
      {"<file name=\"x\">", "file"},
      {"  <ThemeSign a=\"1\">", "ThemeSign"},
      {"</group>", "ERROR"},  // no space: the closing bracket is never stripped
      {"</group end=\"\">", "/group"},
      {"<file\t\"x\">", "ERROR"},
      {"x < y z", ""},
  };
  for (const Row& r : rows) EXPECT_EQ(tagName(r.line), r.tag) << r.line;
}

TEST(ValueCount, HalfTheQuotesOrMinusOne) {
  EXPECT_EQ(valueCount("</group>"), 0);
  EXPECT_EQ(valueCount("<a \"1\" \"2\">"), 2);
  EXPECT_EQ(valueCount("<a \"1\" \"2>"), -1);
  EXPECT_EQ(valueCount("<a \"\">"), 1);
}

TEST(ReadValues, OverwritesOnlyTheSlotsItFills) {
  ValueTable values{"s0", "s1", "s2", "s3", "s4", "s5"};
  readValues("<file a=\"one\" b=\"two\">", values);
  EXPECT_EQ(values, (ValueTable{"one", "two", "s2", "s3", "s4", "s5"}));

  readValues("<x \"1\"\"2\" \" 3 \" \"&amp;\" \"5\" \"6\" \"7\" \"8\">", values);
  EXPECT_EQ(values, (ValueTable{"1", "2", " 3 ", "&amp;", "5", "6"}));
}

TEST(Hex2Int, NotationsAndMalformedTexts) {
  struct Row {
    const char* text;
    std::uint64_t value;
  } rows[] = {
      {"1AH", 26},     {"0x1a", 26},     {"1a", 26},
      {"0X1Ah", 26},   {"$1A", 0},       {" 1A", 0},
      {"1G", 0},       {"-1", 0},        {"1HH", 0},
      {"H", 0},        {"0X", 0},        {"", 0},
      {"FFFF", 65535}, {"10000", 65536}, {"FFFFFFFFFFFFFFFF", 0xFFFFFFFFFFFFFFFFull},
  };
  for (const Row& r : rows) EXPECT_EQ(Hex2Int(r.text), r.value) << '"' << r.text << '"';
}

TEST(DecimalValue, AcceptsDecimalAndPrefixedHex) {
  struct Row {
    const char* text;
    std::int32_t value;
  } rows[] = {
      {"240", 240},
      {"  320", 320},
      {"+7", 7},
      {"-12", -12},
      {"$10", 16},
      {"x1F", 31},
      {"X1f", 31},
      {"0x10", 16},
      {"-$10", -16},
      {"0", 0},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
  };
  for (const Row& r : rows) EXPECT_EQ(decimalValue(r.text), r.value) << r.text;
}

TEST(DecimalValue, RejectsAnythingElseWithTheConversionMessage) {
  for (const char* text : {"", " ", "12 ", "1a", "abc", "+", "0x", "$", "2147483648", "-2147483649",
                           "99999999999999999999", "1.5", "\t5"}) {
    try {
      decimalValue(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const wqt::Error& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

}  // namespace
