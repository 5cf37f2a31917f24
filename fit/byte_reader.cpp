#include "fit/byte_reader.h"

#include <algorithm>

namespace wqt {

std::size_t MemoryReader::read(std::span<std::uint8_t> out) {
  const std::size_t n = std::min(out.size(), bytes_.size() - pos_);
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_), n, out.begin());
  pos_ += n;
  return n;
}

FileReader::FileReader(const std::filesystem::path& path)
    : path_(path), fd_(openForReading(path, &size_)) {}

std::size_t FileReader::read(std::span<std::uint8_t> out) {
  const std::size_t n = readAt(fd_.get(), offset_, out, path_);
  offset_ += n;
  return n;
}

}  // namespace wqt
