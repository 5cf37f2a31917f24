#include "files/unpack_layout.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <utility>

#include "files/file_kind.h"
#include "map/core_error.h"
#include "theme/file_descriptor.h"

namespace wqt {

namespace {

constexpr std::size_t kNameMax = 255;
constexpr std::size_t kSuffixRoom = 10;  // " (NNNNNN)"

// Cuts UTF-8 text to at most `limit` bytes without splitting a character.
std::string cutUtf8(std::string text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

// A caption as one safe path component, before its extension.
std::string safeStem(std::string_view caption, std::size_t limit) {
  std::string stem;
  stem.reserve(caption.size());
  for (const char c : caption) {
    const auto u = static_cast<unsigned char>(c);
    stem += (u < 0x20 || u == 0x7F || c == '/' || c == '\\') ? '_' : c;
  }
  if (std::all_of(stem.begin(), stem.end(), [](char c) { return c == '.'; })) {
    std::replace(stem.begin(), stem.end(), '.', '_');
    if (stem.empty()) stem = "_";
  }
  return cutUtf8(std::move(stem), limit);
}

// Gives the names of one folder: the first taker keeps a name, later ones are numbered.
class FolderNames {
 public:
  std::string take(const std::string& stem, std::string_view ext) {
    std::string name = stem + std::string(ext);
    for (int n = 2; !used_.insert(name).second; ++n) {
      name = stem + " (" + std::to_string(n) + ")" + std::string(ext);
    }
    return name;
  }

 private:
  std::set<std::string> used_;
};

struct LayoutWalk {
  const ThemeMap& map;
  const std::function<bool(std::int32_t)>& present;
  RawFormat raw;
  std::vector<LayoutItem> items;

  void folder(const std::vector<int>& nodes, const std::string& prefix) {
    FolderNames names;
    for (const int index : nodes) {
      const TreeNode& node = map.tree[static_cast<std::size_t>(index)];
      const std::string caption = map.captionUtf8(index);
      if (!node.isFile()) {
        const std::string name = names.take(safeStem(caption, kNameMax - kSuffixRoom), "");
        folder(node.children, prefix + name + "/");
        continue;
      }
      const auto e = static_cast<std::size_t>(node.entry);
      const std::string_view ext =
          e < map.entries.size() ? layoutExtension(map.entries[e], raw) : ".bin";
      const std::string name =
          names.take(safeStem(caption, kNameMax - kSuffixRoom - ext.size()), ext);
      if (e < map.entries.size() && present(node.entry))
        items.push_back({node.entry, prefix + name});
    }
  }
};

// The open folders from the root down to the folder being written, reused while consecutive
// files share them (files come in tree order, so they mostly do).
class FolderChain {
 public:
  FolderChain(const std::filesystem::path& root, int rootFd) : root_(root), rootFd_(rootFd) {}

  // The descriptor of folder `relative` ("" for the root; folders end with "/"), made if missing.
  int enter(std::string_view relative) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0; start < relative.size();) {
      const std::size_t slash = relative.find('/', start);
      parts.push_back(relative.substr(start, slash - start));
      start = slash + 1;
    }
    std::size_t keep = 0;
    while (keep < open_.size() && keep < parts.size() && open_[keep].first == parts[keep]) ++keep;
    open_.resize(keep);
    std::filesystem::path path = root_;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      path /= std::string(parts[i]);
      if (i < keep) continue;
      const int parent = i == 0 ? rootFd_ : open_.back().second.get();
      const std::string name(parts[i]);
      if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) {
        throwFileCreateError(path, errno);
      }
      FileDescriptor fd(
          ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (!fd) throwFileCreateError(path, errno);
      open_.emplace_back(name, std::move(fd));
    }
    return open_.empty() ? rootFd_ : open_.back().second.get();
  }

 private:
  std::filesystem::path root_;
  int rootFd_;
  std::vector<std::pair<std::string, FileDescriptor>> open_;
};

// Writes one file in the folder: created afresh, or, when it exists, a complete new file renamed
// over it. Returns 0 or the errno of the failure.
int writeOne(int dirFd, const std::string& name, std::span<const std::uint8_t> bytes) {
  const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  FileDescriptor fd(::openat(dirFd, name.c_str(), flags, 0666));
  if (fd) {
    if (const int err = writeAllAt(fd.get(), 0, bytes)) return err;
    return fd.close();
  }
  if (errno != EEXIST) return errno;
  const std::string temp =
      "." + name.substr(0, kNameMax - 16) + ".new" + std::to_string(::getpid());
  FileDescriptor tfd(
      ::openat(dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (!tfd) return errno;
  int err = writeAllAt(tfd.get(), 0, bytes);
  if (err == 0) err = tfd.close();
  if (err == 0 && ::renameat(dirFd, temp.c_str(), dirFd, name.c_str()) != 0) err = errno;
  if (err != 0) ::unlinkat(dirFd, temp.c_str(), 0);
  return err;
}

}  // namespace

std::string safeName(std::string_view caption) {
  return safeStem(caption, kNameMax - kSuffixRoom);
}

std::string_view layoutExtension(const FileEntry& entry, RawFormat raw) {
  const auto info = kindInfo(entry.kind);
  if (!info) return ".bin";
  if (info->kind == FileKind::Raw && raw == RawFormat::Png) return ".png";
  return info->exportExtension;
}

std::vector<LayoutItem> unpackLayout(const ThemeMap& map, int root,
                                     const std::function<bool(std::int32_t)>& present,
                                     RawFormat raw) {
  LayoutWalk walk{map, present, raw, {}};
  if (root >= 0) {
    walk.folder(map.tree.at(static_cast<std::size_t>(root)).children, "");
  } else {
    std::vector<int> top;
    for (std::size_t i = 0; i < map.tree.size(); ++i) {
      if (map.tree[i].parent < 0) top.push_back(static_cast<int>(i));
    }
    walk.folder(top, "");
  }
  return std::move(walk.items);
}

WriteResult writeLayoutFiles(
    const std::filesystem::path& folder, const std::vector<LayoutItem>& items,
    const std::function<std::span<const std::uint8_t>(const LayoutItem&)>& content,
    const WriteHooks& hooks) {
  FileDescriptor root(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!root) throwFileCreateError(folder, errno);

  std::vector<std::filesystem::path> existing;
  for (const LayoutItem& item : items) {
    struct stat st {};
    if (::fstatat(root.get(), item.path.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      existing.push_back(folder / item.path);
    }
  }
  if (!existing.empty()) {
    if (!hooks.confirmReplace) throwFileCreateError(existing.front(), EEXIST);
    if (!hooks.confirmReplace(existing)) return {0, true};
  }

  FolderChain chain(folder, root.get());
  WriteResult result;
  for (const LayoutItem& item : items) {
    const std::size_t slash = item.path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const int dirFd = chain.enter(std::string_view(item.path).substr(0, nameStart));
    const std::span<const std::uint8_t> bytes = content(item);
    if (const int err = writeOne(dirFd, item.path.substr(nameStart), bytes)) {
      throwFileCreateError(folder / item.path, err);
    }
    ++result.written;
    if (hooks.progress && !hooks.progress(result.written, items.size()) &&
        result.written < items.size()) {
      result.stopped = true;
      return result;
    }
  }
  return result;
}

}  // namespace wqt
