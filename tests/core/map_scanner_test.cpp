// The map line scanner: which lines count, tag names, values and the two number readers.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "map/xml_lib.h"

namespace {

using namespace wqt::xml;

TEST(ScanLine, SkipTagAndValues) {
  const struct {
    const char* line;
    bool skipped;
    const char* tag;
    int count;  // -1: an odd number of quotes
    std::vector<std::string> values;
  } rows[] = {
      {"<a b", true, "a", 0, {}},  // four characters, even though it is a tag
      {"<a \"x", false, "a", -1, {}},
      {"; <file \"x\">", true, "file", 1, {"x"}},
      {"  ;x <file \"a\">", true, "file", 1, {"a"}},  // ";" before the first "<"
      {"  <file \"a;b\">", false, "file", 1, {"a;b"}},
      {"plain text line", true, "ERROR", 0, {}},
      {"\t\t<group \"G\">", false, "group", 1, {"G"}},
      {"", true, "ERROR", 0, {}},
      {"  <ThemeSign a=\"1\">", false, "ThemeSign", 1, {"1"}},
      {"</group>", false, "ERROR", 0, {}},  // no space: the closing bracket is never stripped
      {"</group end=\"\">", false, "/group", 1, {""}},
      {"<file\t\"x\">", false, "ERROR", 1, {"x"}},
      {"x < y z", false, "", 0, {}},
      {"<a \"1\" \"2>", false, "a", -1, {}},
      // Past the sixth value nothing is kept; a line longer than a scan block.
      {"<x \"1\"\"2\" \" 3 \" \"&amp;\" \"5\" \"6\" \"7\" \"8\">",
       false,
       "x",
       8,
       {"1", "2", " 3 ", "&amp;", "5", "6"}},
      {"<file name=\"Меню/Камера\" id=\"0\" type=\"JPG\" width=\"240\" height=\"320\">",
       false,
       "file",
       5,
       {"Меню/Камера", "0", "JPG", "240", "320"}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.line);
    const LineParts parts = scanLine(r.line);
    EXPECT_EQ(parts.skipped, r.skipped);
    EXPECT_EQ(parts.tag, r.tag);
    EXPECT_EQ(parts.valueCount, r.count);
    EXPECT_EQ(
        std::vector<std::string>(parts.values.begin(), parts.values.begin() + r.values.size()),
        r.values);
  }
}

TEST(Hex2Int, NotationsAndMalformedTexts) {
  const struct {
    const char* text;
    std::uint64_t value;
  } rows[] = {
      {"1AH", 26},     {"0x1a", 26},     {"1a", 26},
      {"0X1Ah", 26},   {"$1A", 0},       {" 1A", 0},
      {"1G", 0},       {"-1", 0},        {"1HH", 0},
      {"H", 0},        {"0X", 0},        {"", 0},
      {"FFFF", 65535}, {"10000", 65536}, {"FFFFFFFFFFFFFFFF", 0xFFFFFFFFFFFFFFFFull},
  };
  for (const auto& r : rows) EXPECT_EQ(Hex2Int(r.text), r.value) << '"' << r.text << '"';
}

TEST(DecimalValue, DecimalAndPrefixedHexWithinTheSigned32BitRange) {
  const struct {
    const char* text;
    std::optional<std::int32_t> value;
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
      {"", {}},
      {" ", {}},
      {"12 ", {}},
      {"1a", {}},
      {"+", {}},
      {"0x", {}},
      {"$", {}},
      {"2147483648", {}},
      {"-2147483649", {}},
      {"99999999999999999999", {}},
      {"1.5", {}},
      {"\t5", {}},
  };
  for (const auto& r : rows) EXPECT_EQ(tryDecimalValue(r.text), r.value) << '"' << r.text << '"';
}

}  // namespace
