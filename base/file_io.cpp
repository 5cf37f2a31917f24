#include "base/file_io.h"

#include <algorithm>

#include "base/file_descriptor.h"
#include "base/replacing_file.h"

namespace wqt {

std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
  std::uint64_t size = 0;
  const FileDescriptor fd = openForReading(path, &size);
  const auto planned = static_cast<std::size_t>(std::min<std::uint64_t>(size, maxBytes));
  std::vector<std::uint8_t> bytes(planned);
  bytes.resize(readAt(fd.get(), 0, bytes, path));
  if (bytes.size() < planned) return bytes;  // it shrank meanwhile
  // A file that grew since it was measured is read on in pieces, up to maxBytes.
  std::uint8_t piece[1 << 16];
  while (bytes.size() < maxBytes) {
    const std::size_t want = std::min(sizeof piece, maxBytes - bytes.size());
    const std::size_t n = readAt(fd.get(), bytes.size(), std::span(piece, want), path);
    if (n == 0) break;
    bytes.insert(bytes.end(), piece, piece + n);
  }
  return bytes;
}

std::vector<std::uint8_t> joinParts(const ByteParts& parts) {
  std::vector<std::uint8_t> bytes;
  for (const auto& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
  return bytes;
}

void writeFileReplacing(const std::filesystem::path& path, const ByteParts& parts) {
  ReplacingFile file(path);
  file.append(parts);
  file.commit();
}

}  // namespace wqt
