#pragma once
// Whole-file reads and safe whole-file writes, with the runtime's error texts.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace wqt {

// A file's content as pieces written one after another, so large data need not be copied
// together first.
using ByteParts = std::vector<std::span<const std::uint8_t>>;

std::vector<std::uint8_t> joinParts(const ByteParts& parts);

// Reads the whole file, or its first maxBytes when it is longer, so a file that grows while it is
// read cannot exhaust memory. Throws the file-open error naming the path and the system's reason.
std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& path,
                                        std::size_t maxBytes = SIZE_MAX);

// Creates or replaces the file with the bytes through a ReplacingFile (see there), so a failed
// write leaves an existing file as it was; a new file gets `newFileMode` less the umask. Throws
// the file-create error naming the path and the system's reason.
void writeFileReplacing(const std::filesystem::path& path, const ByteParts& parts,
                        unsigned newFileMode = 0666);
inline void writeFileReplacing(const std::filesystem::path& path,
                               std::span<const std::uint8_t> bytes, unsigned newFileMode = 0666) {
  writeFileReplacing(path, ByteParts{bytes}, newFileMode);
}

// Makes the folder and any missing parent, each new one for the user alone (0700), and the folder
// itself 0700 when it was there already: the program's caches hold the user's pictures. Throws
// the file-create error naming the folder that could not be made.
void makePrivateFolders(const std::filesystem::path& folder);

// The same file under two names (a link, "./"), so an output would overwrite an input.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace wqt
