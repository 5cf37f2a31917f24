#include "theme/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "map/core_error.h"
#include "theme/replacing_file.h"

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
  ReplacingFile file(path);
  file.append(parts);
  file.commit();
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
