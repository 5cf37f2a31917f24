#include "base/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <string>

#include "base/core_error.h"

namespace wqt {

std::filesystem::path createBeside(const std::filesystem::path& target, mode_t mode,
                                   FileDescriptor* file) {
  const std::string stem = (target.parent_path() / ("." + target.filename().string())).string();
  std::random_device random;
  for (int tries = 0; tries < 100; ++tries) {
    std::string name = stem + "." + std::to_string(random());
    const int made = file != nullptr
                         ? ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode)
                         : ::mkdir(name.c_str(), mode);
    if (made >= 0 && file != nullptr) *file = FileDescriptor(made);
    if (made >= 0) return name;
    if (errno != EEXIST) break;
  }
  throwFileCreateError(target, errno);
}

ReplacingFile::ReplacingFile(const std::filesystem::path& target, mode_t newFileMode) {
  // An empty name names no file; it is refused as the system refuses it, not by the library's
  // own exception.
  if (target.empty()) throwFileCreateError(target, ENOENT);
  std::error_code ec;
  target_ = std::filesystem::absolute(target, ec);
  if (ec) throwFileCreateError(target, ec.value());
  // Only a regular file is replaced: renaming over a device, a pipe or a socket (or a link to
  // one, such as the process's own output) would put a file where the system keeps something
  // else. Checked through links, so the refusal names what the link leads to.
  refuseNonRegularFile(target_);
  // Renaming over a symbolic link would replace the link itself; write the file it names, so
  // the link stays a link. A dangling link gets the file it names, as opening it would.
  // (weakly_canonical would stop at a dangling link; the links are followed one by one.)
  for (int hops = 0;; ++hops) {
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(target_, ec))) break;
    if (hops == 40) throwFileCreateError(target_, ELOOP);
    const std::filesystem::path next = std::filesystem::read_symlink(target_, ec);
    if (ec) throwFileCreateError(target_, ec.value());
    target_ = target_.parent_path() / next;
  }
  // Replacing by rename needs only the folder's permission, so the file's own is checked.
  if (::access(target_.c_str(), F_OK) == 0 && ::access(target_.c_str(), W_OK) != 0) {
    throwFileCreateError(target_, errno);
  }
  // A file being replaced keeps its permissions; until it has them, only we may open the new
  // one. A new file gets the modes a new file gets in that folder.
  struct stat st {};
  const bool replaces = ::stat(target_.c_str(), &st) == 0;
  temp_ = createBeside(target_, replaces ? 0600 : newFileMode, &fd_);
  if (replaces && ::fchmod(fd_.get(), st.st_mode & 07777) != 0) fail(errno);
}

ReplacingFile::~ReplacingFile() {
  if (!temp_.empty()) {
    fd_.close();
    ::unlink(temp_.c_str());
  }
}

void ReplacingFile::fail(int err) {
  fd_.close();
  ::unlink(temp_.c_str());
  temp_.clear();
  throwFileCreateError(target_, err);
}

void ReplacingFile::append(const ByteParts& parts) {
  if (const int err = writeAllAt(fd_.get(), size_, parts)) fail(err);
  for (const auto& part : parts) size_ += part.size();
}

void ReplacingFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (const int err = writeAllAt(fd_.get(), offset, bytes)) fail(err);
  size_ = std::max<std::uint64_t>(size_, offset + bytes.size());
}

void ReplacingFile::commit() {
  // The data must be on the disk before the rename makes it the file; fdatasync flushes the
  // data and what is needed to read it back, without the timestamps fsync would also write.
  if (::fdatasync(fd_.get()) != 0) fail(errno);
  if (const int err = fd_.close()) fail(err);
  // Whatever took the target's name since the start is checked again: still only a regular
  // file or nothing is replaced.
  struct stat st {};
  if (::lstat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    ::unlink(temp_.c_str());
    temp_.clear();
    refuseNonRegularFile(target_);
    throwFileCreateError(target_, EEXIST);
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) fail(errno);
  temp_.clear();
}

}  // namespace wqt
