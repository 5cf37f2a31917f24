#pragma once
// The bytes of a source picture as its decoder asks for them: from memory, or from a file piece
// by piece so that a file's size costs no memory.
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
  virtual void rewind() = 0;
};

class MemoryReader : public ByteReader {
 public:
  explicit MemoryReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::size_t read(std::span<std::uint8_t> out) override;
  void rewind() override { pos_ = 0; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

class FileReader : public ByteReader {
 public:
  // Throws the file-open error as openForReading does.
  explicit FileReader(const std::filesystem::path& path);
  std::size_t read(std::span<std::uint8_t> out) override;
  void rewind() override { offset_ = 0; }

 private:
  std::filesystem::path path_;
  FileDescriptor fd_;
  std::uint64_t offset_ = 0;
};

}  // namespace wqt
