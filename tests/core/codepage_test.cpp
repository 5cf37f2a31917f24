// Conversions between Windows-1251 and Unicode.
#include <gtest/gtest.h>

#include "base/codepage.h"

namespace {

TEST(Codepage, Cp1251RoundTripsThroughUtf8) {
  const std::string cp1251 = "Abc \xC0\xE2\xF2\xEE\xF0 \xA8\xB8 \xB9";  // "Abc Автор Ёё №"
  EXPECT_EQ(wqt::cp1251ToUtf8(cp1251), "Abc Автор Ёё №");
  EXPECT_EQ(wqt::utf8ToCp1251("Abc Автор Ёё №"), cp1251);
}

TEST(Codepage, UnmappableAndMalformedBecomeQuestionMarks) {
  EXPECT_EQ(wqt::utf8ToCp1251("a€b"),
            "a\x88"
            "b");  // the euro sign exists in the code page
  EXPECT_EQ(wqt::utf8ToCp1251("a中b😀c"), "a?b?c");
  EXPECT_EQ(wqt::utf8ToCp1251("a\xFF"
                              "b\xD0"),
            "a?b?");
  EXPECT_EQ(wqt::utf8ToCp1251(std::string("a\0b", 3)), std::string("a\0b", 3));
  EXPECT_EQ(wqt::codeUnitsToCp1251(u"Ж\xD800z\x4E2D"), "\xC6?z?");
}

TEST(Codepage, Utf8Validity) {
  EXPECT_TRUE(wqt::isValidUtf8("plain"));
  EXPECT_TRUE(wqt::isValidUtf8("Меню 😀"));
  for (const char* bad : {"\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xD0",
                          "\x80", "\xCC\xE5\xED\xFE"}) {
    EXPECT_FALSE(wqt::isValidUtf8(bad)) << bad;
  }
}

}  // namespace
