// The input is a map file: the load must give a tree, entries and settings or a wqt::Error,
// and everything the window reads of a loaded map must stay within its tables.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/core_error.h"
#include "fuzz/fuzz_common.h"
#include "map/entry_paths.h"
#include "map/theme_map.h"
#include "map/tree_walk.h"
#include "tests/core/map_scanner_views.h"

namespace {

// The line rules written the plain way, one character at a time: lines end at LF, a CR is
// dropped, a Ctrl-Z ends its line and, at the start of a line, the map.
std::vector<std::string> referenceLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (ch == 26) {
      if (line.empty()) return lines;
      lines.push_back(line);
      line.clear();
      while (i < text.size() && text[i] != '\n') ++i;
    } else if (ch != '\r') {
      line += ch;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// The scanner's answers for one line, from the cut-based definitions.
void checkLine(std::string_view line) {
  const wqt::xml::LineParts parts = wqt::xml::scanLine(line);
  const bool skipped = line.size() < 5 || line.front() == ';' ||
                       line.find('<') == std::string_view::npos || line.find(';') < line.find('<');
  const std::string tag = wqt::xml::cut(wqt::xml::cut(line, '<', 2), ' ', 4);
  std::size_t quotes = 0;
  for (char c : line) quotes += c == '"';
  const int count = quotes % 2 != 0 ? -1 : static_cast<int>(quotes / 2);
  if (parts.skipped != skipped || parts.tag != tag || parts.valueCount != count) std::abort();
  std::size_t pos = 0;
  for (int k = 0; k < count && k < 6; ++k) {
    const std::size_t open = line.find('"', pos), close = line.find('"', open + 1);
    if (parts.values[static_cast<std::size_t>(k)] != line.substr(open + 1, close - open - 1)) {
      std::abort();
    }
    pos = close + 1;
  }
}

// What the load sees of each line that counts, as a comparable text.
std::string describe(const wqt::xml::LineParts& parts) {
  std::string d(parts.tag);
  d += '|' + std::to_string(parts.valueCount);
  for (int k = 0; k < parts.valueCount && k < 6; ++k) {
    d += '|';
    d += parts.values[static_cast<std::size_t>(k)];
  }
  return d;
}

// The lines that count, found the way the load finds them (one pass per line where it stands,
// rebuilt lines for a stray CR or a Ctrl-Z), must be the lines of the plain rules.
void checkMapLines(std::string_view text, const std::vector<std::string>& reference) {
  std::vector<std::string> expected;
  for (const std::string& line : reference) {
    const wqt::xml::LineParts parts = wqt::xml::scanLine(line);
    if (!parts.skipped) expected.push_back(describe(parts));
  }
  std::vector<std::string> seen;
  std::size_t pos = 0;
  wqt::xml::MapLine line;
  while (pos < text.size()) {
    wqt::xml::scanMapLine(text.substr(pos), line);
    const std::string_view physical = text.substr(pos, line.length);
    pos += line.length + 1;
    if (!line.needsCleaning) {
      if (!line.parts.skipped) seen.push_back(describe(line.parts));
      continue;
    }
    std::string cleaned;
    const std::size_t ctrlZ = physical.find(static_cast<char>(26));
    for (char ch : physical.substr(0, ctrlZ)) {
      if (ch != '\r') cleaned += ch;
    }
    if (ctrlZ != std::string_view::npos && cleaned.empty()) break;
    const wqt::xml::LineParts parts = wqt::xml::scanLine(cleaned);
    if (!parts.skipped) seen.push_back(describe(parts));
  }
  if (seen != expected) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> reference = referenceLines(text);
  for (const std::string& line : reference) checkLine(line);
  checkMapLines(text, reference);

  static wqt::fuzz::MemFile file("map");
  const auto& path = file.write(data, size);
  wqt::ThemeMap map;
  wqt::xml::ValueTable values;
  try {
    map.load(path, values);
  } catch (const wqt::Error&) {
    // A map the scanner rejects ends the load with its message; what was built stays usable.
  }
  for (std::size_t i = 0; i < map.tree().size(); ++i) {
    const wqt::TreeNode& node = map.tree()[i];
    if (node.parent >= static_cast<int>(i)) std::abort();  // parents come before children
    for (int child : node.children) {
      if (child <= static_cast<int>(i) || static_cast<std::size_t>(child) >= map.tree().size()) {
        std::abort();
      }
    }
    (void)map.captionUtf8(static_cast<int>(i));
    const std::int32_t e = map.entryOfNode(static_cast<int>(i));
    if (e < -1 || (e >= 0 && static_cast<std::size_t>(e) >= map.entries().size())) std::abort();
  }
  if (map.entryOfNode(-1) != -1 || map.entryOfNode(static_cast<int>(map.tree().size())) != -1) {
    std::abort();
  }
  // The walk meets every node once, in display order, one level below its parent; every path
  // stays within the shown length and its cut mark however deep the node lies.
  std::vector<std::size_t> depths;
  wqt::forEachNode(map, -1, [&](int node, std::size_t depth) {
    const int parent = map.tree()[static_cast<std::size_t>(node)].parent;
    const std::size_t expected = parent < 0 ? 0 : depths[static_cast<std::size_t>(parent)] + 1;
    if (static_cast<std::size_t>(node) != depths.size() || depth != expected) std::abort();
    depths.push_back(depth);
    if (wqt::captionPath(map, node).size() > wqt::kShownPathBytes + 4) std::abort();
  });
  if (depths.size() != map.tree().size()) std::abort();
  return 0;
}
