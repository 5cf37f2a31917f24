#pragma once
// Helpers for the fuzz targets: an in-memory file with a path (the core reads maps and themes by
// path) and the fixed map the theme target opens against.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "map/theme_map.h"

namespace wqt::fuzz {

// An entry of `kind` whose width and height are the input's first two 16-bit words (the caller
// makes sure there are four bytes).
inline FileEntry entryFromWords(const char* kind, const std::uint8_t* data) {
  FileEntry entry;
  entry.kind = entryKindOf(kind);
  entry.kindName = kind;
  entry.width = static_cast<std::uint16_t>(data[0] | data[1] << 8);
  entry.height = static_cast<std::uint16_t>(data[2] | data[3] << 8);
  return entry;
}

// A file in memory whose content each input replaces; its path goes through /proc/self/fd.
class MemFile {
 public:
  explicit MemFile(const char* name) : fd_(::memfd_create(name, MFD_CLOEXEC)) {
    if (fd_ < 0) std::abort();
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  const std::filesystem::path& write(const std::uint8_t* data, std::size_t size) {
    if (::ftruncate(fd_, 0) != 0) std::abort();
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) std::abort();
      done += static_cast<std::size_t>(n);
    }
    return path_;
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  int fd_;
  std::filesystem::path path_;
};

}  // namespace wqt::fuzz
