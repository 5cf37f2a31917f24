#include "base/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "base/core_error.h"

namespace wqt {

ReplacingFile::ReplacingFile(const std::filesystem::path& target) {
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
  std::string tmpl = target_.string() + ".XXXXXX";
  fd_ = FileDescriptor(::mkostemp(tmpl.data(), O_CLOEXEC));
  if (!fd_) throwFileCreateError(target_, errno);
  temp_ = tmpl;

  // Keep the permissions of the file being replaced; a new file gets the usual 0666 & ~umask.
  struct stat st {};
  mode_t mode;
  if (::stat(target_.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd_.get(), mode) != 0) fail(errno);
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
