// Header field decoding: the lenient UTF-8 decoder and the Windows-1251 result.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "theme/header_text.h"

namespace {

std::string decode(std::string_view bytes) {
  const std::vector<std::uint8_t> field(bytes.begin(), bytes.end());
  return wqt::decodeHeaderField(field);
}

using namespace std::string_literals;

TEST(HeaderText, DecoderTable) {
  struct Case {
    std::string field;
    std::string decoded;  // Windows-1251
  } cases[] = {
      {"", ""},
      {"Abc\0\0"s, "Abc\0\0"s},
      {"\xD0\x90\xD0\xB2\xD1\x82", "\xC0\xE2\xF2"},  // "Авт"
      {"\xE2\x84\x96 \xE2\x82\xAC", "\xB9 \x88"},    // "№ €", three bytes each
      {"\xE4\xB8\xAD!", "?!"},                       // lacking in the code page
      {"a\0\xD0\x90\0"s, "a\0\xC0\0"s},              // bytes after a zero decoded
      {"\xCC\xE5\xED\xFE", ""},                      // Windows-1251 text: malformed
      {"ok\xD0", ""},                                // cut off by the field's end
      {"ok\xE2\x84", ""},                            // cut off, three-byte lead
      {"\xD0\x41", ""},                              // continuation below 0x80
      {"\xD0\xC0", ""},                              // continuation above 0xBF
      {"\xC1\x81", "A"},                             // overlong forms are taken
      {"\xC0\x80x"s, "\0x"s},                        // as their value, zero kept
      // Lead bytes outside 0xC0..0xEF: value from the lead's low six bits, 16 bits kept.
      {"\x81\x81", "A"},         // 0x80..0x9F: two bytes
      {"\xB1\x81\x81", "?"},     // 0xA0..0xBF: three bytes
      {"\xF0\x81\x81", "A"},     // 0x30 << 12 drops out
      {"\xF0\x90\x80\x80", ""},  // a four-byte form: malformed
      {"\xED\xA0\x80", "?"},     // a surrogate unit
  };
  for (const auto& c : cases) {
    EXPECT_EQ(decode(c.field), c.decoded) << testing::PrintToString(c.field);
  }
}

TEST(HeaderText, VisibleTextStopsAtTheFirstZero) {
  EXPECT_EQ(wqt::visibleText("Abc\0def\0"s), "Abc");
  EXPECT_EQ(wqt::visibleText("full"), "full");
  EXPECT_EQ(wqt::visibleText("\0x"s), "");
}

}  // namespace
