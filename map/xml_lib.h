#pragma once
// The map line scanner: reduces one line of "theme.rxt" to whether it counts, its tag name and
// its double-quoted values, and holds the two number readers applied to those values.
// It is not an XML parser: one element per line, values taken by position.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/core_error.h"

namespace wqt::xml {

// Ctrl-Z: ends the line it stands in and, at the start of a line, the map.
inline constexpr char kCtrlZ = 26;

// The tag of a line without one. Matches no element name.
inline constexpr std::string_view kNotFound = "ERROR";

// The six value slots of a line, slot 0 being "value 1".
using ValueTable = std::array<std::string, 6>;

// The value table of the process: a line's values overwrite only the slots it fills, so a slot
// keeps the value of an earlier line, and of an earlier map load, until a later line fills it.
inline ValueTable& processValueTable() {
  static ValueTable table;
  return table;
}

// Everything the map model needs of one line, found in a single pass over it.
struct LineParts {
  bool skipped = true;
  std::string_view tag = kNotFound;
  int valueCount = 0;                      // -1 for an odd number of double quotes
  std::array<std::string_view, 6> values;  // the first min(valueCount, 6) values
};
LineParts scanLine(std::string_view line);

// The line that starts `text` and ends at its first LF (or at the end of the text), scanned in
// the same single pass that finds its end.
struct MapLine {
  LineParts parts;             // of the line without its LF, and without the CR of a CR LF end
  std::size_t length = 0;      // bytes before the LF
  bool needsCleaning = false;  // a Ctrl-Z or stray CR: parts come from the rebuilt line
};
// Fills `line`, which a caller reuses from line to line: values past the line's count keep
// whatever an earlier line left there.
void scanMapLine(std::string_view text, MapLine& line);

// The value of a hexadecimal digit of either case; -1 for any other character.
constexpr int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Hexadecimal reader: "1AH", "0x1a" and "1a" give 26; any stray character gives 0.
std::uint64_t Hex2Int(std::string_view text);

// Decimal reader (also "$", "x", "0x" hexadecimal): nullopt for anything else and outside the
// signed 32-bit range, where the map's load throws notAnIntegerError.
std::optional<std::int32_t> tryDecimalValue(std::string_view text);
// The conversion error "'<text>' is not a valid integer value", for a value shown as
// `shownText` (UTF-8).
Error notAnIntegerError(std::string_view shownText);

}  // namespace wqt::xml
