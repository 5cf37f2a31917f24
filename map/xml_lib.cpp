#include "map/xml_lib.h"

#include <algorithm>
#include <cctype>

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
  return cut(cut(line, '<', 2), ' ', 4);
}

int valueCount(std::string_view line) {
  const auto quotes = std::count(line.begin(), line.end(), '"');
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
      values[static_cast<std::size_t>(k)] = std::string(line.substr(open + 1, close - open - 1));
    }
    pos = close + 1;
  }
}

std::uint64_t Hex2Int(std::string_view text) {
  std::string s(text);
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
  if (s.empty()) return 0;
  if (s.back() == 'H') s.pop_back();
  if (s.starts_with("0X")) s.erase(0, 2);
  std::uint64_t value = 0;
  for (char ch : s) {
    if (ch >= '0' && ch <= '9') {
      value = value * 16 + static_cast<std::uint64_t>(ch - '0');
    } else if (ch >= 'A' && ch <= 'F') {
      value = value * 16 + static_cast<std::uint64_t>(ch - 'A' + 10);
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
