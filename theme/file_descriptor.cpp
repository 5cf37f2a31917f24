#include "theme/file_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "map/core_error.h"

namespace wqt {

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) {
    const int saved = errno;
    ::close(fd_);
    errno = saved;
  }
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    FileDescriptor old(fd_);
    fd_ = other.release();
  }
  return *this;
}

int FileDescriptor::close() {
  const int fd = release();
  if (fd < 0) return 0;
  return ::close(fd) == 0 ? 0 : errno;
}

FileDescriptor openForReading(const std::filesystem::path& path) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) throwFileOpenError(path, errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) throwFileOpenError(path, errno);
  if (S_ISDIR(st.st_mode)) throwFileOpenError(path, EISDIR);
  return fd;
}

int writeAllAt(int fd, std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

std::size_t readAt(int fd, std::uint64_t offset, std::span<std::uint8_t> out,
                   const std::filesystem::path& path) {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t n =
        ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throwFileOpenError(path, errno);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

int readToEnd(int fd, std::vector<std::uint8_t>& out) {
  for (;;) {
    if (out.capacity() - out.size() < (1u << 16)) out.reserve(out.size() * 2 + (1u << 16));
    const std::size_t used = out.size();
    out.resize(out.capacity());
    const ssize_t n = ::read(fd, out.data() + used, out.size() - used);
    if (n < 0) {
      out.resize(used);
      if (errno == EINTR) continue;
      return errno;
    }
    out.resize(used + static_cast<std::size_t>(n));
    if (n == 0) return 0;
  }
}

}  // namespace wqt
