#include "files/unpack_layout.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "base/core_error.h"
#include "base/file_descriptor.h"
#include "files/file_kind.h"
#include "map/tree_walk.h"

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

// The longest path the system takes (PATH_MAX, with its closing zero byte).
constexpr std::size_t kPathMax = 4096;

// Refuses a path no file system call could take; checked before anything is made.
void requirePathFits(std::size_t length) {
  if (length >= kPathMax) throw Error(kLayoutTooDeepMessage);
}

// Names every node under a root in display order. Only folders whose path still fits get a name
// table: a file below them could not be written anyway, so groups nested past the longest path
// cost nothing however deep they go.
struct LayoutWalk {
  const ThemeMap& map;
  const std::function<bool(std::int32_t)>& present;
  RawFormat raw;
  std::vector<LayoutItem> items;

  struct Folder {
    std::size_t prefixLength = 0;  // of the path of this folder, with its "/"
    TakenNames names;
  };

  void walk(int root) {
    std::string prefix;
    std::vector<Folder> open(1);  // by depth below the root
    forEachNode(map, root, [&](int index, std::size_t depth) {
      const TreeNode& node = map.tree()[static_cast<std::size_t>(index)];
      if (depth >= open.size()) {
        // Below a folder whose path is too long already.
        if (node.isFile() && present(node.entry)) throw Error(kLayoutTooDeepMessage);
        return;
      }
      open.resize(depth + 1);
      Folder& here = open.back();
      prefix.resize(here.prefixLength);
      const std::string caption = map.captionUtf8(index);
      if (!node.isFile()) {
        prefix += uniqueName(here.names, safeStem(caption, kNameMax - kSuffixRoom), "") + "/";
        if (prefix.size() < kPathMax) open.push_back({prefix.size(), {}});
        return;
      }
      const auto e = static_cast<std::size_t>(node.entry);
      const std::string_view ext =
          e < map.entries().size() ? layoutExtension(map.entries()[e], raw) : ".bin";
      const std::string name =
          uniqueName(here.names, safeStem(caption, kNameMax - kSuffixRoom - ext.size()), ext);
      if (e < map.entries().size() && present(node.entry)) {
        requirePathFits(prefix.size() + name.size());
        items.push_back({node.entry, prefix + name});
      }
    });
  }
};

// The open folders from the root down to the folder being written, reused while consecutive
// files share them (files come in tree order, so they mostly do). Only every kKeepEvery-th
// folder of the chain and the deepest stay open, so deep nesting costs few descriptors; a closed
// one is opened again from the nearest open folder above it, never through a link.
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
    while (keep < open_.size() && keep < parts.size() && open_[keep].name == parts[keep]) ++keep;
    open_.resize(keep);
    if (keep > 0) reopen(keep - 1);
    for (std::size_t i = keep; i < parts.size(); ++i) {
      const std::string name(parts[i]);
      if (::mkdirat(parentOf(i), name.c_str(), 0777) != 0 && errno != EEXIST) {
        const int err = errno;  // before the path's allocations may change it
        throwFileCreateError(pathOf(i, name), err);
      }
      open_.push_back({name, openFolder(i, name)});
      // The folder above the new deepest one closes unless it is kept.
      if (i > 0 && (i - 1) % kKeepEvery != 0) open_[i - 1].fd.close();
    }
    return open_.empty() ? rootFd_ : open_.back().fd.get();
  }

 private:
  static constexpr std::size_t kKeepEvery = 16;

  struct Level {
    std::string name;
    FileDescriptor fd;
  };

  int parentOf(std::size_t level) const { return level == 0 ? rootFd_ : open_[level - 1].fd.get(); }

  std::filesystem::path pathOf(std::size_t level, const std::string& name) const {
    std::filesystem::path path = root_;
    for (std::size_t i = 0; i < level; ++i) path /= open_[i].name;
    return path / name;
  }

  FileDescriptor openFolder(std::size_t level, const std::string& name) const {
    FileDescriptor fd(
        ::openat(parentOf(level), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
      const int err = errno;
      throwFileCreateError(pathOf(level, name), err);
    }
    return fd;
  }

  // Opens `level` again, with the closed folders between it and the nearest open one above.
  void reopen(std::size_t level) {
    std::size_t first = level + 1;
    while (first > 0 && !open_[first - 1].fd) --first;
    for (std::size_t i = first; i <= level; ++i) {
      open_[i].fd = openFolder(i, open_[i].name);
      if (i > first && (i - 1) % kKeepEvery != 0) open_[i - 1].fd.close();
    }
  }

  std::filesystem::path root_;
  int rootFd_;
  std::vector<Level> open_;
};

// Creates a name of the folder for writing only if nothing holds it yet: never writes through a
// link, a hard link or a pipe someone left there. Returns the descriptor or -1 with errno.
int createNew(int dirFd, const std::string& name) {
  return ::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

// Writes the whole file through fd and closes it; on any failure the name is removed, so a file
// that could not be written whole (a full disk) leaves nothing under its name.
int fillOrRemove(int dirFd, const std::string& name, FileDescriptor fd,
                 std::span<const std::uint8_t> bytes) {
  int err = writeAllAt(fd.get(), 0, bytes);
  if (const int closeErr = fd.close(); err == 0) err = closeErr;
  if (err != 0) ::unlinkat(dirFd, name.c_str(), 0);
  return err;
}

// Writes one file in the folder: created afresh, or, when it exists, a complete new file renamed
// over it. Returns 0 or the errno of the failure.
int writeOne(int dirFd, const std::string& name, std::span<const std::uint8_t> bytes) {
  if (FileDescriptor fd(createNew(dirFd, name)); fd) {
    return fillOrRemove(dirFd, name, std::move(fd), bytes);
  }
  if (errno != EEXIST) return errno;
  // The temporary name is ours only if we create it; one taken already is passed by.
  const std::string stem =
      "." + cutUtf8(name, kNameMax - 32) + ".new" + std::to_string(::getpid()) + "-";
  for (int attempt = 0;; ++attempt) {
    const std::string temp = stem + std::to_string(attempt);
    FileDescriptor tfd(createNew(dirFd, temp));
    if (!tfd) {
      if (errno == EEXIST && attempt < 100) continue;
      return errno;
    }
    if (const int err = fillOrRemove(dirFd, temp, std::move(tfd), bytes)) return err;
    if (::renameat(dirFd, temp.c_str(), dirFd, name.c_str()) != 0) {
      const int err = errno;
      ::unlinkat(dirFd, temp.c_str(), 0);
      return err;
    }
    return 0;
  }
}

}  // namespace

std::string safeName(std::string_view caption) {
  return safeStem(caption, kNameMax - kSuffixRoom);
}

std::string uniqueName(TakenNames& used, const std::string& stem, std::string_view ext) {
  std::string name = stem + std::string(ext);
  // Numbers below `next` were taken for this name already and names are never given back.
  int& next = used.next.try_emplace(name, 2).first->second;
  for (; !used.names.insert(name).second; ++next)
    name = stem + " (" + std::to_string(next) + ")" + std::string(ext);
  return name;
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
  walk.walk(root);
  return std::move(walk.items);
}

WriteResult writeLayoutFiles(
    const std::filesystem::path& folder, const std::vector<LayoutItem>& items,
    const std::function<std::span<const std::uint8_t>(const LayoutItem&)>& content,
    const WriteHooks& hooks) {
  for (const LayoutItem& item : items)
    requirePathFits(folder.string().size() + 1 + item.path.size());
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
