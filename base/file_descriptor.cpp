#include "base/file_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

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
  if (fd < 0) return 0;
  return ::close(fd) == 0 ? 0 : errno;
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

void refuseNonRegularFile(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    throwNotRegular(path, st.st_mode);
  }
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

int readFully(int fd, std::span<std::uint8_t> out, std::size_t& got) {
  got = 0;
  while (got < out.size()) {
    const ssize_t n = ::read(fd, out.data() + got, out.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return 0;
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

}  // namespace wqt
