#pragma once
// Walking the map's tree without recursion: groups may nest deeper than any call stack takes.
// The loader lists a group before everything it holds, so display order is the order of a walk
// from the top, and the groups open at a node are its parent's chain.
#include <cstddef>
#include <vector>

#include "map/theme_map.h"

namespace wqt {

// Calls visit(node, depth) for every node under `root` (a group's display index, -1 for the whole
// tree) in display order; depth 0 is a child of the root.
template <typename Visit>
void forEachNode(const ThemeMap& map, int root, Visit&& visit) {
  const std::vector<TreeNode>& tree = map.tree();
  std::vector<int> open;  // the groups above the node, below the root, outermost first
  for (std::size_t i = static_cast<std::size_t>(root + 1); i < tree.size(); ++i) {
    const int parent = tree[i].parent;
    while (!open.empty() && open.back() != parent) open.pop_back();
    if (open.empty() && parent != root) return;  // past the root's last node
    visit(static_cast<int>(i), open.size());
    if (!tree[i].isFile()) open.push_back(static_cast<int>(i));
  }
}

}  // namespace wqt
