// The input is a map file: the load must give a tree, entries and settings or a wqt::Error,
// and everything the window reads of a loaded map must stay within its tables.
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_common.h"
#include "map/core_error.h"
#include "map/theme_map.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static wqt::fuzz::MemFile file("map");
  const auto& path = file.write(data, size);
  wqt::ThemeMap map;
  wqt::xml::ValueTable values;
  try {
    map.load(path, values);
  } catch (const wqt::Error&) {
    // A map the scanner rejects ends the load with its message; what was built stays usable.
  }
  for (std::size_t i = 0; i < map.tree.size(); ++i) {
    const wqt::TreeNode& node = map.tree[i];
    if (node.parent >= static_cast<int>(i)) std::abort();  // parents come before children
    for (int child : node.children) {
      if (child <= static_cast<int>(i) || static_cast<std::size_t>(child) >= map.tree.size()) {
        std::abort();
      }
    }
    (void)map.captionUtf8(static_cast<int>(i));
    const std::int32_t e = map.entryOfNode(static_cast<int>(i));
    if (e < -1 || (e >= 0 && static_cast<std::size_t>(e) >= map.entries.size())) std::abort();
  }
  if (map.entryOfNode(-1) != -1 || map.entryOfNode(static_cast<int>(map.tree.size())) != -1) {
    std::abort();
  }
  return 0;
}
