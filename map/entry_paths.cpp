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

void addCandidate(EntryMatch& match, const ThemeMap& map, int node) {
  if (match.candidates.size() < kMaxCandidates) {
    match.candidates.push_back(candidateText(map, node));
  } else {
    ++match.unnamed;
  }
}

// The last `limit` bytes or fewer of a caption as UTF-8, starting at a whole character. Only its
// end is converted: a caption may be far longer than anything shown of it.
std::string captionEnd(const ThemeMap& map, std::string_view raw, std::size_t limit) {
  std::string text = map.textUtf8(raw.substr(raw.size() - std::min(raw.size(), limit)));
  std::size_t start = text.size() - std::min(text.size(), limit);
  while (start < text.size() && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) ++start;
  return text.substr(start);
}

}  // namespace

std::string captionPath(const ThemeMap& map, int node) {
  if (node < 0) return {};
  const std::vector<TreeNode>& tree = map.tree();
  std::vector<std::string> parts;  // from the node up
  std::size_t used = 0;
  std::string_view cutMark;
  // Every caption taken adds a byte at least, so the climb stops within the shown length.
  for (int at = node; at >= 0; at = tree.at(static_cast<std::size_t>(at)).parent) {
    const std::string& raw = tree[static_cast<std::size_t>(at)].caption;
    const std::size_t separator = parts.empty() ? 0 : 1;
    if (used + separator > kShownPathBytes) {
      cutMark = "…/";
      break;
    }
    const std::size_t room = kShownPathBytes - used - separator;
    // As UTF-8 a caption is at least as long as its bytes in the map.
    std::string caption = raw.size() <= room ? map.textUtf8(raw) : std::string();
    if (raw.size() > room || caption.size() > room) {
      cutMark = "…/";
      if (parts.empty()) {
        parts.push_back(captionEnd(map, raw, room));
        cutMark = "…";
      }
      break;
    }
    used += separator + caption.size();
    parts.push_back(std::move(caption));
  }
  std::string path(cutMark);
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
    if (part != parts.rbegin()) path += '/';
    path += *part;
  }
  return path;
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
                 [&](int node) { return map.captionIs(node, part); });
    if (matched.empty()) {
      for (const int node : level) addCandidate(match, map, node);
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
  for (const int node : files.empty() ? level : files) addCandidate(match, map, node);
  return match;
}

}  // namespace wqt
