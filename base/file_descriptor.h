#pragma once
// One owner for an open file descriptor, and the loops that read and write whole buffers through
// one: interrupted calls are retried, short reads and writes continued.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <utility>

namespace wqt {

// Closes its descriptor when it goes out of scope (keeping errno of a failure being reported).
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int release() { return std::exchange(fd_, -1); }
  // Closes now; 0, or the errno of a failed close (a write that did not reach the file).
  int close();

 private:
  int fd_ = -1;
};

// Refuses a path that names anything but a regular file (or a link to one) with the file-open
// error naming the path and what it is: a folder, device, pipe or socket has no size to check, and
// reading one may never end. A path that names nothing passes; the caller's next step reports it.
// Returns the regular file's size, or nothing for a path that names nothing.
std::optional<std::uint64_t> refuseNonRegularFile(const std::filesystem::path& path);

// Opens a regular file (or a link to one) for reading, setting `*size`, when given, to its length.
// Anything else is refused as refuseNonRegularFile does, before a byte is read and without waiting
// for a pipe's writer. Throws the file-open error naming the path and the system's reason.
FileDescriptor openForReading(const std::filesystem::path& path, std::uint64_t* size = nullptr);

// Reads bytes at `offset` until `out` is full or the file ends, setting `got` to how many were
// read. Returns 0 or the errno of the failure.
int readFully(int fd, std::uint64_t offset, std::span<std::uint8_t> out, std::size_t& got);
// The same, throwing the file-open error naming the path when reading fails; returns `got`.
std::size_t readAt(int fd, std::uint64_t offset, std::span<std::uint8_t> out,
                   const std::filesystem::path& path);

// Writes every byte of the pieces, one after another, from `offset`. Returns 0 or the errno of
// the failure.
int writeAllAt(int fd, std::uint64_t offset, std::span<const std::span<const std::uint8_t>> parts);
inline int writeAllAt(int fd, std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  return writeAllAt(fd, offset, std::span(&bytes, 1));
}

}  // namespace wqt
