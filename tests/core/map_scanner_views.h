#pragma once
// The scanner's results one at a time, as the tests and the fuzz oracle look at a line.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "map/xml_lib.h"

namespace wqt::xml {

inline bool lineIsSkipped(std::string_view line) {
  return scanLine(line).skipped;
}

inline std::string tagName(std::string_view line) {
  return std::string(scanLine(line).tag);
}

// Half the number of double quotes, or -1 when that number is odd.
inline int valueCount(std::string_view line) {
  return scanLine(line).valueCount;
}

// Fills slots 0..min(count, 6)-1 from the line's quoted values.
inline void readValues(std::string_view line, ValueTable& values) {
  const LineParts parts = scanLine(line);
  const int stored = std::min(parts.valueCount, static_cast<int>(values.size()));
  for (int k = 0; k < stored; ++k) {
    values[static_cast<std::size_t>(k)].assign(parts.values[static_cast<std::size_t>(k)]);
  }
}

// The decimal reader as the map's load applies it.
inline std::int32_t decimalValue(std::string_view text) {
  if (const auto value = tryDecimalValue(text)) return *value;
  throw notAnIntegerError(text);
}

// Cuts text at the first occurrence of c. Modes: 1 from c to the end, 2 after c, 3 up to and
// including c, 4 before c; any other mode returns the text unchanged. "ERROR" when c is absent.
inline std::string cut(std::string_view text, char c, int mode) {
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

}  // namespace wqt::xml
