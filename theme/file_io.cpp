#include "theme/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>

#include "map/core_error.h"

namespace wqt {

namespace {

// Closes a descriptor when the scope ends, keeping errno of the failure being reported.
struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) {
      const int saved = errno;
      ::close(fd);
      errno = saved;
    }
  }
};

}  // namespace

std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throwFileOpenError(path, errno);
  FdCloser closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) throwFileOpenError(path, errno);
  if (S_ISDIR(st.st_mode)) throwFileOpenError(path, EISDIR);

  std::vector<std::uint8_t> bytes;
  if (st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size));
  std::uint8_t chunk[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      throwFileOpenError(path, errno);
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  return bytes;
}

std::vector<std::uint8_t> joinParts(const ByteParts& parts) {
  std::vector<std::uint8_t> bytes;
  for (const auto& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
  return bytes;
}

void writeFileReplacing(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  writeFileReplacing(path, ByteParts{bytes});
}

void writeFileReplacing(const std::filesystem::path& path, const ByteParts& parts) {
  std::filesystem::path target = std::filesystem::absolute(path);
  // Renaming over a symbolic link would replace the link itself; write the file it names.
  std::error_code ec;
  if (std::filesystem::is_symlink(target, ec)) {
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, ec);
    if (!ec) target = resolved;
  }
  // Replacing by rename needs only the folder's permission; an existing file that may not be
  // written is refused, as creating it in place would be.
  if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) {
    throwFileCreateError(target, errno);
  }
  std::string tmpl = target.string() + ".XXXXXX";
  const int fd = ::mkstemp(tmpl.data());
  if (fd < 0) throwFileCreateError(target, errno);
  const std::filesystem::path temp = tmpl;
  auto fail = [&](int err) {
    ::close(fd);
    ::unlink(temp.c_str());
    throwFileCreateError(target, err);
  };

  // Keep the permissions of the file being replaced; a new file gets the usual 0666 & ~umask.
  struct stat st {};
  mode_t mode;
  if (::stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd, mode) != 0) fail(errno);

  // The pieces go out in as few calls as the system takes, a batch of them per call.
  std::vector<iovec> pending;
  pending.reserve(parts.size());
  for (const auto& part : parts) {
    if (!part.empty()) {
      pending.push_back({const_cast<std::uint8_t*>(part.data()), part.size()});
    }
  }
  for (std::size_t first = 0; first < pending.size();) {
    const int batch = static_cast<int>(std::min<std::size_t>(pending.size() - first, IOV_MAX));
    ssize_t n = ::writev(fd, pending.data() + first, batch);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
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
  // The data must be on the disk before the rename makes it the file; fdatasync flushes the
  // data and what is needed to read it back, without the timestamps fsync would also write.
  if (::fdatasync(fd) != 0) fail(errno);
  if (::close(fd) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    throwFileCreateError(target, err);
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    throwFileCreateError(target, err);
  }
}

std::int32_t diskFileSize(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return -1;
  // A directory search reports a folder's size as 0.
  if (S_ISDIR(st.st_mode)) return 0;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(st.st_size));
}

std::filesystem::path executableDir() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::filesystem::current_path();
  return std::filesystem::path(std::string(buf, static_cast<std::size_t>(n))).parent_path();
}

std::string replaceExtension(const std::string& path, std::string_view ext) {
  const std::size_t lastSep = path.find_last_of('/');
  const std::size_t nameStart = lastSep == std::string::npos ? 0 : lastSep + 1;
  const std::size_t dot = path.find_last_of('.');
  std::string result = (dot != std::string::npos && dot >= nameStart) ? path.substr(0, dot) : path;
  result += ext;
  return result;
}

}  // namespace wqt
