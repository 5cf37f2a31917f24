#include "map/theme_map.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <iterator>
#include <string_view>

#include "base/codepage.h"
#include "base/core_error.h"
#include "base/file_descriptor.h"

namespace wqt {

namespace {

// Exact, case-sensitive comparison with a name known at compile time, which the compiler turns
// into a few word comparisons instead of a library call.
template <std::size_t N>
bool is(std::string_view text, const char (&name)[N]) {
  return text.size() == N - 1 && std::memcmp(text.data(), name, N - 1) == 0;
}
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The runtime's text-file error for a map that cannot be opened or read.
[[noreturn]] void throwTextFileError(int err) {
  if (err == ENOENT || err == ENOTDIR) throw Error("File not found", ErrorCode::FileNotFound, err);
  if (err == EACCES || err == EPERM) throw Error("File access denied", ErrorCode::FileAccess, err);
  throw Error("I/O error " + std::to_string(err), ErrorCode::InputOutput, err);
}

// Reads the whole map into `buffer` and returns its bytes. The buffer only grows: the window
// reloads the same map at every create and open, and a buffer kept from the last load is neither
// allocated nor cleared again.
std::string_view readMapText(const std::filesystem::path& path, std::string& buffer) {
  const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) throwTextFileError(errno);
  struct stat st {};
  std::size_t want = 1 << 16;
  if (::fstat(fd.get(), &st) == 0 && st.st_size > 0) {
    want = static_cast<std::size_t>(st.st_size) + 1;
  }
  std::size_t used = 0;
  for (;;) {
    if (buffer.size() - used < want / 2 + 1) buffer.resize(used + want);
    const std::span room(reinterpret_cast<std::uint8_t*>(buffer.data()) + used,
                         buffer.size() - used);
    std::size_t got = 0;
    if (const int err = readFully(fd.get(), used, room, got)) throwTextFileError(err);
    used += got;
    if (got < room.size()) break;  // the end of the file
  }
  return std::string_view(buffer.data(), used);
}

// Whether any byte is 0x80 or above, eight bytes at a time.
bool hasHighByte(std::string_view text) {
  std::uint64_t acc = 0;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    acc |= word;
  }
  for (; i < text.size(); ++i) acc |= static_cast<unsigned char>(text[i]);
  return (acc & 0x8080808080808080ull) != 0;
}

// Calls onLine with the parts of each line of the map text. Lines end at LF; a CR is dropped
// (which covers CR LF); a Ctrl-Z ends the line it stands in and, at the start of a line, the map.
// Most lines are scanned once where they stand; a line with a Ctrl-Z or a stray CR is rebuilt
// first, into `rebuilt`, which keeps every rebuilt line until the load ends since the value
// table's slots may still view it.
template <typename OnLine>
void forEachLine(std::string_view text, std::deque<std::string>& rebuilt, OnLine onLine) {
  std::size_t pos = 0;
  xml::MapLine line;
  while (pos < text.size()) {
    xml::scanMapLine(text.substr(pos), line);
    const std::string_view physical = text.substr(pos, line.length);
    pos += line.length + 1;
    if (!line.needsCleaning) {
      onLine(line.parts);
      continue;
    }
    std::string& cleaned = rebuilt.emplace_back();
    const std::size_t ctrlZ = physical.find(xml::kCtrlZ);
    const std::string_view kept = physical.substr(0, ctrlZ);
    std::remove_copy(kept.begin(), kept.end(), std::back_inserter(cleaned), '\r');
    if (ctrlZ != std::string_view::npos && cleaned.empty()) return;  // Ctrl-Z ends the map
    onLine(xml::scanLine(cleaned));
  }
}

}  // namespace

EntryKind entryKindOf(std::string_view kindText) {
  if (is(kindText, "JPG")) return EntryKind::Jpg;
  if (is(kindText, "RAW")) return EntryKind::Raw;
  if (is(kindText, "ANI2")) return EntryKind::Ani2;
  if (is(kindText, "COLORTAB")) return EntryKind::ColourTable;
  return EntryKind::Other;
}

bool mapExists(const std::filesystem::path& mapPath) {
  std::error_code ec;
  return std::filesystem::is_regular_file(mapPath, ec);
}

ThemeMap::LoadResult ThemeMap::load(const std::filesystem::path& mapPath, xml::ValueTable& values) {
  typeSelectorShown_ = false;
  nodeCount_ = 0;
  entryNodes_.clear();
  if (!mapExists(mapPath)) {
    tree_.clear();
    return LoadResult::MapMissing;
  }

  groupStack_.clear();

  std::string_view text = readMapText(mapPath, textBuffer_);
  // A byte-order mark is skipped whatever follows it; only a map that is valid UTF-8 is read as
  // UTF-8, so a mark before Windows-1251 text does not garble its captions.
  const bool marked = text.starts_with(kUtf8Bom);
  if (marked) text.remove_prefix(kUtf8Bom.size());
  captionsAreUtf8_ = (marked || hasHighByte(text)) && isValidUtf8(text);

  // The values of the lines read so far, as views into the map text or, for slots no line of
  // this load has filled yet, into the value table itself. The table takes them once, when the
  // load ends or fails, instead of copying up to six values at every line.
  LineValues current;
  std::copy(values.begin(), values.end(), current.begin());
  // What every load leaves, whether it ends or fails: the value table and the child lists.
  auto finish = [&] {
    for (std::size_t k = 0; k < current.size(); ++k) values[k].assign(current[k]);
    tree_.resize(nodeCount_);
    entries_.resize(entryNodes_.size());
    nodeIndex_.assign(entryNodes_.empty() ? 0 : static_cast<std::size_t>(entryNodes_.back()) + 1,
                      0);
    for (std::size_t e = 0; e < entryNodes_.size(); ++e)
      nodeIndex_[static_cast<std::size_t>(entryNodes_[e])] = static_cast<std::int32_t>(e);
    linkChildren();
  };

  std::deque<std::string> rebuiltLines;
  try {
    forEachLine(text, rebuiltLines, [&](const xml::LineParts& parts) {
      if (parts.skipped || parts.valueCount < 1) return;
      // Every slot is looked at, so that the copy is a few moves rather than a library call.
      for (std::size_t k = 0; k < current.size(); ++k)
        current[k] = static_cast<int>(k) < parts.valueCount ? parts.values[k] : current[k];
      const std::string_view tag = parts.tag;
      if (is(tag, "ThemeSign")) {
        settings_.signature1 = current[0];
        settings_.signature2 = current[1];
      } else if (is(tag, "ThemeSettings")) {
        settings_.tableOffset = static_cast<std::uint16_t>(xml::Hex2Int(current[0]));
        settings_.dataOffset = static_cast<std::uint16_t>(xml::Hex2Int(current[1]));
        settings_.fileCount = static_cast<std::uint16_t>(xml::Hex2Int(current[2]));
      } else if (is(tag, "ColorThemesSettings")) {
        settings_.colourFlag = current[0];
        if (settings_.hasTypeByte()) {
          settings_.typeByteOffset = static_cast<std::uint16_t>(xml::Hex2Int(current[1]));
          typeSelectorShown_ = true;
        }
      } else if (is(tag, "group")) {
        groupStack_.push_back(appendNode(current[0], -1));
      } else if (is(tag, "/group")) {
        if (groupStack_.empty()) throw Error("Range check error", ErrorCode::RangeCheck);
        groupStack_.pop_back();
      } else if (is(tag, "file")) {
        readFile(current);
      }
    });
  } catch (...) {
    finish();
    throw;
  }
  finish();
  return LoadResult::Loaded;
}

void ThemeMap::readFile(const LineValues& v) {
  // The conversion error shows the value as the captions read.
  const auto decimal = [this](std::string_view value) {
    const auto number = xml::tryDecimalValue(value);
    if (!number) throw xml::notAnIntegerError(textUtf8(value));
    return static_cast<std::uint16_t>(*number);
  };
  // Written over an entry of the last load where there is one, as nodes are.
  const std::size_t e = entryNodes_.size();
  entryNodes_.push_back(appendNode(v[0], static_cast<std::int32_t>(e)));
  if (e == entries_.size()) entries_.emplace_back();
  FileEntry& entry = entries_[e];
  entry.kindName.assign(v[2]);
  entry.kind = entryKindOf(v[2]);
  entry.width = entry.height = entry.expectedSize = 0;
  if (entry.kind == EntryKind::ColourTable) {
    // A size beyond what a theme can hold stays beyond it rather than wrapping to a small one.
    entry.expectedSize =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(xml::Hex2Int(v[3]), UINT32_MAX));
  } else if (entry.kind != EntryKind::Other) {
    entry.width = decimal(v[3]);
    entry.height = decimal(v[4]);
  }
}

// Appends a node as the last child of the innermost open group, or at the top level, over a node
// of the last load where there is one, whose caption and child list keep their memory. The child
// lists are filled once the load ends.
int ThemeMap::appendNode(std::string_view caption, std::int32_t entry) {
  if (nodeCount_ == tree_.size()) tree_.emplace_back();
  TreeNode& node = tree_[nodeCount_];
  node.caption.assign(caption);
  node.parent = groupStack_.empty() ? -1 : groupStack_.back();
  node.entry = entry;
  node.children.clear();
  return static_cast<int>(nodeCount_++);
}

void ThemeMap::linkChildren() {
  for (std::size_t i = 0; i < tree_.size(); ++i) {
    const int parent = tree_[i].parent;
    if (parent >= 0)
      tree_[static_cast<std::size_t>(parent)].children.push_back(static_cast<int>(i));
  }
}

bool ThemeMap::captionIs(int displayIndex, std::string_view utf8) const {
  const std::string& raw = tree_.at(static_cast<std::size_t>(displayIndex)).caption;
  if (captionsAreUtf8_ || !hasHighByte(raw)) return raw == utf8;
  // Every Windows-1251 byte becomes one UTF-8 byte at least.
  return utf8.size() >= raw.size() && cp1251ToUtf8(raw) == utf8;
}

std::string ThemeMap::textUtf8(std::string_view bytes) const {
  return captionsAreUtf8_ ? std::string(bytes) : cp1251ToUtf8(bytes);
}

}  // namespace wqt
