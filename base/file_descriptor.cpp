#include "base/file_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>
#include <vector>

#include "base/core_error.h"

namespace wqt {

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) {
    const int saved = errno;
    ::close(fd_);
    errno = saved;
  }
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  // The descriptor held so far closes as `old` goes; a self-assignment leaves `old` empty.
  const FileDescriptor old(std::exchange(fd_, other.release()));
  return *this;
}

int FileDescriptor::close() {
  const int fd = release();
  return fd < 0 || ::close(fd) == 0 ? 0 : errno;
}

namespace {

// What a path names when it is not a regular file, as the reason of the file-open error.
[[noreturn]] void throwNotRegular(const std::filesystem::path& path, mode_t mode) {
  // A folder is the system's own error, with its errno.
  if (S_ISDIR(mode)) throwFileOpenError(path, EISDIR);
  if (S_ISCHR(mode) || S_ISBLK(mode)) throwFileOpenError(path, "Is a device, not a regular file");
  if (S_ISFIFO(mode)) throwFileOpenError(path, "Is a pipe, not a regular file");
  if (S_ISSOCK(mode)) throwFileOpenError(path, "Is a socket, not a regular file");
  throwFileOpenError(path, "Not a regular file");
}

}  // namespace

std::optional<std::uint64_t> refuseNonRegularFile(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  if (!S_ISREG(st.st_mode)) throwNotRegular(path, st.st_mode);
  return static_cast<std::uint64_t>(st.st_size);
}

FileDescriptor openForReading(const std::filesystem::path& path, std::uint64_t* size) {
  // Checked before opening: opening some devices has effects of its own.
  refuseNonRegularFile(path);
  // Without O_NONBLOCK, opening a pipe that replaced the file meanwhile would wait for a writer.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) throwFileOpenError(path, errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) throwFileOpenError(path, errno);
  if (!S_ISREG(st.st_mode)) throwNotRegular(path, st.st_mode);
  if (size != nullptr) *size = static_cast<std::uint64_t>(st.st_size);
  return fd;
}

int readFully(int fd, std::uint64_t offset, std::span<std::uint8_t> out, std::size_t& got) {
  got = 0;
  while (got < out.size()) {
    const ssize_t n =
        ::pread(fd, out.data() + got, out.size() - got, static_cast<off_t>(offset + got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return 0;
}

std::size_t readAt(int fd, std::uint64_t offset, std::span<std::uint8_t> out,
                   const std::filesystem::path& path) {
  std::size_t got = 0;
  if (const int err = readFully(fd, offset, out, got)) throwFileOpenError(path, err);
  return got;
}

int writeAllAt(int fd, std::uint64_t offset, std::span<const std::span<const std::uint8_t>> parts) {
  // The pieces go out in as few calls as the system takes, a batch of them per call.
  std::vector<iovec> pending;
  pending.reserve(parts.size());
  for (const auto& part : parts) {
    if (!part.empty()) pending.push_back({const_cast<std::uint8_t*>(part.data()), part.size()});
  }
  for (std::size_t first = 0; first < pending.size();) {
    const int batch = static_cast<int>(std::min<std::size_t>(pending.size() - first, IOV_MAX));
    ssize_t n = ::pwritev(fd, pending.data() + first, batch, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    // Nothing written of a non-empty batch: retrying would never end.
    if (n == 0) return EIO;
    offset += static_cast<std::uint64_t>(n);
    // Skip what was written: whole pieces, then the written start of a partial one.
    while (n > 0 && static_cast<std::size_t>(n) >= pending[first].iov_len) {
      n -= static_cast<ssize_t>(pending[first].iov_len);
      ++first;
    }
    if (n > 0) {
      pending[first].iov_base = static_cast<std::uint8_t*>(pending[first].iov_base) + n;
      pending[first].iov_len -= static_cast<std::size_t>(n);
    }
  }
  return 0;
}

}  // namespace wqt
