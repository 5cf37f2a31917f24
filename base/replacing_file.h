#pragma once
// A file written next to its target and renamed over it only once complete, so a failed or
// abandoned write leaves an existing file as it was. Data can be written in pieces, as it comes,
// so a large file need not be held in memory.
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <span>

#include "base/file_descriptor.h"
#include "base/file_io.h"

namespace wqt {

// Makes a new file, opened into `*file`, or without one a new folder, beside the target and named
// after it, hidden. Its modes are `mode` less what the umask or the folder's default ACL takes
// away (the umask can only be read by setting it, for every thread at once). Returns its path;
// throws the file-create error naming the target.
std::filesystem::path createBeside(const std::filesystem::path& target, mode_t mode,
                                   FileDescriptor* file = nullptr);

class ReplacingFile {
 public:
  // Starts the temporary file beside the target. Only a regular file or a new name is written:
  // anything else (a folder, device, pipe, socket, or a link to one) is refused with the
  // file-open error naming what it is. A symbolic link is written through to the file it names
  // and stays a link; an existing target we may not write is refused, as creating it in place
  // would be. Every other failure throws the file-create error naming the target and the
  // system's reason. A new file gets `newFileMode` less what the umask takes away; a file being
  // replaced keeps its own modes.
  explicit ReplacingFile(const std::filesystem::path& target, mode_t newFileMode = 0666);
  // Abandons an uncommitted file: the temporary file is removed, the target untouched.
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  void append(const ByteParts& parts);
  void append(std::span<const std::uint8_t> bytes) { append(ByteParts{bytes}); }
  // Writes at an offset (to fill in a part whose content is known only at the end).
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);

  // Flushes the data to the disk and renames the file over the target.
  void commit();

 private:
  [[noreturn]] void fail(int err);

  std::filesystem::path target_;
  std::filesystem::path temp_;
  FileDescriptor fd_;
  std::uint64_t size_ = 0;
};

}  // namespace wqt
