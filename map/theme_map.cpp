#include "map/theme_map.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "map/codepage.h"
#include "map/core_error.h"

namespace wqt {

namespace {

constexpr char kCtrlZ = 26;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The runtime's text-file error for a map that cannot be opened or read.
[[noreturn]] void throwTextFileError(int err) {
  if (err == ENOENT || err == ENOTDIR) throw Error("File not found");
  if (err == EACCES || err == EPERM) throw Error("File access denied");
  throw Error("I/O error " + std::to_string(err));
}

std::string readMapText(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throwTextFileError(errno);
  std::string text;
  // Read straight into the text, sized from the file's length when it has one, so a large map
  // is neither copied chunk by chunk nor reallocated as it grows.
  struct stat st {};
  std::size_t want = 1 << 16;
  if (::fstat(fd, &st) == 0 && st.st_size > 0) want = static_cast<std::size_t>(st.st_size) + 1;
  std::size_t used = 0;
  for (;;) {
    if (text.size() - used < want / 2 + 1) text.resize(used + want);
    const ssize_t n = ::read(fd, text.data() + used, text.size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      throwTextFileError(err);
    }
    if (n == 0) break;
    used += static_cast<std::size_t>(n);
  }
  ::close(fd);
  text.resize(used);
  return text;
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

// Calls onLine for each line of the map text: lines end at LF (a CR anywhere is dropped, which
// covers CR LF), a Ctrl-Z ends the line it stands in and, at the start of a line, the map.
// A physical line without CR or Ctrl-Z, the usual case, is passed as it stands, without a copy.
template <typename OnLine>
void forEachLine(std::string_view text, OnLine onLine) {
  std::string line;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t lf = text.find('\n', i);
    const std::size_t end = lf == std::string_view::npos ? text.size() : lf;
    const std::string_view physical = text.substr(i, end - i);
    i = lf == std::string_view::npos ? text.size() : lf + 1;

    const bool hasCr = physical.find('\r') != std::string_view::npos;
    const std::size_t ctrlZ = physical.find(kCtrlZ);
    if (!hasCr && ctrlZ == std::string_view::npos) {
      // A last line without LF counts only when it holds something.
      if (lf != std::string_view::npos || !physical.empty()) onLine(physical);
      continue;
    }
    line.clear();
    for (const char ch : physical.substr(0, ctrlZ)) {
      if (ch != '\r') line += ch;
    }
    if (ctrlZ != std::string_view::npos) {
      if (line.empty()) return;  // Ctrl-Z at the start of a line ends the map
      onLine(std::string_view(line));
      continue;  // the rest of the physical line is skipped
    }
    if (lf != std::string_view::npos || !line.empty()) onLine(std::string_view(line));
  }
}

}  // namespace

bool mapExists(const std::filesystem::path& mapPath) {
  std::error_code ec;
  return std::filesystem::exists(mapPath, ec);
}

ThemeMap::LoadResult ThemeMap::load(const std::filesystem::path& mapPath, xml::ValueTable& values) {
  typeSelectorShown = false;
  tree.clear();
  if (!mapExists(mapPath)) return LoadResult::MapMissing;

  entries.clear();
  nodeIndex.clear();
  std::vector<int> groupStack;

  const std::string text = readMapText(mapPath);
  captionsAreUtf8 = text.starts_with(kUtf8Bom) || (hasHighByte(text) && isValidUtf8(text));

  // Appends a node as the last child of the innermost open group, or at the top level.
  auto appendNode = [&](std::string_view caption) {
    const int index = static_cast<int>(tree.size());
    const int parent = groupStack.empty() ? -1 : groupStack.back();
    tree.push_back(TreeNode{std::string(caption), parent, {}});
    if (parent >= 0) tree[static_cast<std::size_t>(parent)].children.push_back(index);
    return index;
  };

  forEachLine(text, [&](std::string_view line) {
    if (xml::lineIsSkipped(line)) return;
    const std::string tag = xml::tagName(line);
    if (xml::valueCount(line) < 1) return;
    xml::readValues(line, values);

    if (tag == "ThemeSign") {
      settings.signature1 = values[0];
      settings.signature2 = values[1];
    } else if (tag == "ThemeSettings") {
      settings.tableOffset = static_cast<std::uint16_t>(xml::Hex2Int(values[0]));
      settings.dataOffset = static_cast<std::uint16_t>(xml::Hex2Int(values[1]));
      settings.fileCount = static_cast<std::uint16_t>(xml::Hex2Int(values[2]));
    } else if (tag == "ColorThemesSettings") {
      settings.colourFlag = values[0];
      if (settings.hasTypeByte()) {
        settings.typeByteOffset = static_cast<std::uint16_t>(xml::Hex2Int(values[1]));
        typeSelectorShown = true;
      }
    } else if (tag == "group") {
      groupStack.push_back(appendNode(values[0]));
    } else if (tag == "/group") {
      if (groupStack.empty()) throw Error("Range check error");
      groupStack.pop_back();
    } else if (tag == "file") {
      const int node = appendNode(values[0]);
      entries.emplace_back();
      FileEntry& entry = entries.back();
      entry.kind = values[2];
      if (entry.kind == "RAW" || entry.kind == "ANI2" || entry.kind == "JPG") {
        entry.width = static_cast<std::uint16_t>(xml::decimalValue(values[3]));
        entry.height = static_cast<std::uint16_t>(xml::decimalValue(values[4]));
      } else if (entry.kind == "COLORTAB") {
        entry.expectedSize = static_cast<std::uint16_t>(xml::Hex2Int(values[3]));
      }
      nodeIndex.resize(static_cast<std::size_t>(node) + 1, 0);
      nodeIndex.back() = static_cast<std::int32_t>(entries.size() - 1);
    }
  });
  return LoadResult::Loaded;
}

std::int32_t ThemeMap::entryOfNode(int displayIndex) const {
  if (displayIndex < 0 || static_cast<std::size_t>(displayIndex) >= nodeIndex.size()) return -1;
  return nodeIndex[static_cast<std::size_t>(displayIndex)];
}

std::string ThemeMap::captionUtf8(int displayIndex) const {
  const std::string& caption = tree.at(static_cast<std::size_t>(displayIndex)).caption;
  return captionsAreUtf8 ? caption : cp1251ToUtf8(caption);
}

}  // namespace wqt
