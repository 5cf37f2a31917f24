#pragma once
// The bytes of a source picture as its decoder asks for them: from memory, or from a file piece
// by piece so that a file's size costs no memory.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

#include "base/file_descriptor.h"

namespace wqt {

class ByteReader {
 public:
  virtual ~ByteReader() = default;
  // Fills `out` as far as the bytes go; how many were read, 0 at the end. Throws on a read error.
  virtual std::size_t read(std::span<std::uint8_t> out) = 0;
  // Back to the first byte.
  void rewind() { seek(0); }
  // To a byte offset (past the end, reads give nothing), for formats read out of order.
  virtual void seek(std::uint64_t offset) = 0;
  virtual std::uint64_t size() const = 0;
};

class MemoryReader : public ByteReader {
 public:
  explicit MemoryReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::size_t read(std::span<std::uint8_t> out) override;
  void seek(std::uint64_t offset) override {
    pos_ = static_cast<std::size_t>(std::min<std::uint64_t>(offset, bytes_.size()));
  }
  std::uint64_t size() const override { return bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

class FileReader : public ByteReader {
 public:
  // Throws the file-open error as openForReading does.
  explicit FileReader(const std::filesystem::path& path);
  std::size_t read(std::span<std::uint8_t> out) override;
  void seek(std::uint64_t offset) override { offset_ = offset; }
  std::uint64_t size() const override { return size_; }

 private:
  std::filesystem::path path_;
  std::uint64_t size_ = 0;  // set while fd_ opens
  FileDescriptor fd_;
  std::uint64_t offset_ = 0;
};

}  // namespace wqt
