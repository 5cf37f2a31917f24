#include "map/xml_lib.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "map/core_error.h"

namespace wqt::xml {

ValueTable& processValueTable() {
  static ValueTable table;
  return table;
}

std::string cut(std::string_view text, char c, int mode) {
  const std::size_t i = text.find(c);  // 0-based: the character's position p is i + 1
  if (i == std::string_view::npos) return std::string(kNotFound);
  switch (mode) {
    case 1:
      return std::string(text.substr(i));
    case 2:
      return std::string(text.substr(i + 1));
    case 3:
      return std::string(text.substr(0, i + 1));
    case 4:
      return std::string(text.substr(0, i));
    default:
      return std::string(text);
  }
}

bool lineIsSkipped(std::string_view line) {
  if (line.size() < 5 || line.front() == ';') return true;
  const std::size_t angle = line.find('<');
  if (angle == std::string_view::npos) return true;
  return line.find(';') < angle;
}

std::string tagName(std::string_view line) {
  // cut(cut(line, '<', 2), ' ', 4) without building the intermediate text.
  const std::size_t angle = line.find('<');
  if (angle == std::string_view::npos) return std::string(kNotFound);
  const std::string_view rest = line.substr(angle + 1);
  const std::size_t space = rest.find(' ');
  if (space == std::string_view::npos) return std::string(kNotFound);
  return std::string(rest.substr(0, space));
}

namespace {

// The number of double quotes, eight bytes at a time: a byte equal to the quote becomes zero
// after the XOR, and the sum below sets the top bit of exactly the nonzero bytes.
std::size_t countQuotes(std::string_view line) {
  constexpr std::uint64_t kQuotes = 0x2222222222222222ull;
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  std::size_t n = 0;
  std::size_t i = 0;
  for (; i + 8 <= line.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, line.data() + i, 8);
    const std::uint64_t x = word ^ kQuotes;
    const std::uint64_t nonzero = ((x & kLow7) + kLow7) | x;
    // One bit per quote at the top of its byte; the multiplication adds them up in the top byte.
    const std::uint64_t marks = (~nonzero & ~kLow7) >> 7;
    n += static_cast<std::size_t>((marks * 0x0101010101010101ull) >> 56);
  }
  for (; i < line.size(); ++i) n += line[i] == '"';
  return n;
}

}  // namespace

int valueCount(std::string_view line) {
  const std::size_t quotes = countQuotes(line);
  return quotes % 2 != 0 ? -1 : static_cast<int>(quotes / 2);
}

void readValues(std::string_view line, ValueTable& values) {
  const int count = valueCount(line);
  std::size_t pos = 0;
  for (int k = 0; k < count; ++k) {
    const std::size_t open = line.find('"', pos);
    const std::size_t close = line.find('"', open + 1);
    if (open == std::string_view::npos || close == std::string_view::npos) return;
    if (k < static_cast<int>(values.size())) {
      values[static_cast<std::size_t>(k)].assign(line.substr(open + 1, close - open - 1));
    }
    pos = close + 1;
  }
}

std::uint64_t Hex2Int(std::string_view text) {
  // Upper case first, so a trailing "h" and a leading "0x" count like "H" and "0X".
  if (text.empty()) return 0;
  if (text.back() == 'H' || text.back() == 'h') text.remove_suffix(1);
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'X' || text[1] == 'x')) {
    text.remove_prefix(2);
  }
  std::uint64_t value = 0;
  for (const char ch : text) {
    if (ch >= '0' && ch <= '9') {
      value = value * 16 + static_cast<std::uint64_t>(ch - '0');
    } else if (ch >= 'A' && ch <= 'F') {
      value = value * 16 + static_cast<std::uint64_t>(ch - 'A' + 10);
    } else if (ch >= 'a' && ch <= 'f') {
      value = value * 16 + static_cast<std::uint64_t>(ch - 'a' + 10);
    } else {
      return 0;
    }
  }
  return value;
}

std::int32_t decimalValue(std::string_view text) {
  auto fail = [&]() -> std::int32_t {
    throw Error("'" + std::string(text) + "' is not a valid integer value");
  };
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';

  int base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return fail();

  // Accumulate in 64 bits and stop as soon as the signed 32-bit range is left.
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const char ch = text[i];
    int digit;
    if (ch >= '0' && ch <= '9') {
      digit = ch - '0';
    } else if (base == 16 && ch >= 'a' && ch <= 'f') {
      digit = ch - 'a' + 10;
    } else if (base == 16 && ch >= 'A' && ch <= 'F') {
      digit = ch - 'A' + 10;
    } else {
      return fail();
    }
    magnitude = magnitude * base + digit;
    if (magnitude > kLimit) return fail();
  }
  if (!negative && magnitude == kLimit) return fail();
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace wqt::xml
