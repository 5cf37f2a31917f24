// Text from files as a terminal shows it: controls made visible, long values cut.
#include "base/shown_text.h"

#include <gtest/gtest.h>

namespace {

TEST(ShownText, ControlsAndDirectionMarksAreEscaped) {
  const struct {
    std::string text;
    std::string terminal;  // escapeControls
    std::string json;      // escapeJsonControls
  } rows[] = {
      {"Меню/Камера", "Меню/Камера", "Меню/Камера"},
      {"a\x1b]0;x\x07", "a\\x1b]0;x\\x07", "a\x1b]0;x\x07"},  // JSON writers escape C0
      {"\x7f", "\\x7f", "\\u007f"},
      {"\u009b2J", "\\u009b2J", "\\u009b2J"},
      {"abc\u202Edcba", "abc\\u202edcba", "abc\\u202edcba"},
      {"\u200E\u200F\u202A\u2066\u2069\u061C", "\\u200e\\u200f\\u202a\\u2066\\u2069\\u061c",
       "\\u200e\\u200f\\u202a\\u2066\\u2069\\u061c"},
      {"\u00A0\u2028\u2065", "\u00A0\u2028\u2065", "\u00A0\u2028\u2065"},  // neighbours stay
  };
  for (const auto& row : rows) {
    EXPECT_EQ(wqt::escapeControls(row.text), row.terminal);
    EXPECT_EQ(wqt::escapeJsonControls(row.text), row.json);
  }
}

TEST(ShownText, LongValuesAreCutInTheMiddle) {
  const struct {
    std::string text;
    std::size_t limit;
    std::string shown;
  } rows[] = {
      {"abcdef", 6, "abcdef"},
      {"abcdefgh", 6, "abc…fgh"},
      {"ЖЖЖЖЖЖ", 6, "Ж…Ж"},  // never half a character
  };
  for (const auto& row : rows) EXPECT_EQ(wqt::shortened(row.text, row.limit), row.shown);
}

}  // namespace
