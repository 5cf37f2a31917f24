#include "base/file_io.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "base/core_error.h"
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

void writeFileReplacing(const std::filesystem::path& path, const ByteParts& parts,
                        unsigned newFileMode) {
  ReplacingFile file(path, static_cast<mode_t>(newFileMode));
  file.append(parts);
  file.commit();
}

void makePrivateFolders(const std::filesystem::path& folder) {
  std::filesystem::path partial;
  for (const auto& part : folder) {
    partial /= part;
    if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
      throwFileCreateError(partial, errno);
  }
  if (::chmod(folder.c_str(), 0700) != 0) throwFileCreateError(folder, errno);
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec);
}

}  // namespace wqt
