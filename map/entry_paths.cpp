#include "map/entry_paths.h"

#include <algorithm>
#include <iterator>

namespace wqt {

namespace {

std::string candidateText(const ThemeMap& map, int node) {
  const TreeNode& n = map.tree()[static_cast<std::size_t>(node)];
  if (n.isFile()) return std::to_string(n.entry) + " " + captionPath(map, node);
  return captionPath(map, node) + "/";
}

}  // namespace

std::string captionPath(const ThemeMap& map, int node) {
  if (node < 0) return {};
  const int parent = map.tree().at(static_cast<std::size_t>(node)).parent;
  const std::string caption = map.captionUtf8(node);
  return parent < 0 ? caption : captionPath(map, parent) + "/" + caption;
}

std::string entryPath(const ThemeMap& map, std::size_t entry) {
  if (entry >= map.entries().size()) return "#" + std::to_string(entry);
  return captionPath(map, map.entryNode(static_cast<std::int32_t>(entry)));
}

EntryMatch findEntry(const ThemeMap& map, std::string_view text) {
  EntryMatch match;
  if (!text.empty() && text.size() <= 9 &&
      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const std::size_t number = std::stoul(std::string(text));
    if (number < map.entries().size()) {
      match.entry = static_cast<std::int32_t>(number);
      return match;
    }
  }

  // Every node whose caption path so far equals the text's first components; groups of the same
  // caption are followed alike.
  std::vector<int> level;
  for (std::size_t i = 0; i < map.tree().size(); ++i) {
    if (map.tree()[i].parent < 0) level.push_back(static_cast<int>(i));
  }
  std::vector<int> matched;
  for (std::size_t start = 0, slash = 0; slash != std::string_view::npos; start = slash + 1) {
    slash = text.find('/', start);
    const std::string_view part = text.substr(start, slash - start);
    matched.clear();
    std::copy_if(level.begin(), level.end(), std::back_inserter(matched),
                 [&](int node) { return map.captionUtf8(node) == part; });
    if (matched.empty()) {
      for (const int node : level) match.candidates.push_back(candidateText(map, node));
      return match;
    }
    level.clear();
    for (const int node : matched) {
      const auto& children = map.tree()[static_cast<std::size_t>(node)].children;
      level.insert(level.end(), children.begin(), children.end());
    }
  }
  std::vector<int> files;
  std::copy_if(matched.begin(), matched.end(), std::back_inserter(files),
               [&](int node) { return map.tree()[static_cast<std::size_t>(node)].isFile(); });
  if (files.size() == 1) {
    match.entry = map.tree()[static_cast<std::size_t>(files[0])].entry;
    return match;
  }
  // A group, or several files of the same path: name what lies there.
  match.ambiguous = true;
  for (const int node : files.empty() ? level : files) {
    match.candidates.push_back(candidateText(map, node));
  }
  return match;
}

}  // namespace wqt
