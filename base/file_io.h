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

// The pieces' bytes in one buffer.
std::vector<std::uint8_t> joinParts(const ByteParts& parts);

// Reads the whole file, or its first maxBytes when it is longer, so a file that grows while it is
// read cannot exhaust memory. Throws the file-open error naming the path and the system's reason.
std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& path,
                                        std::size_t maxBytes = SIZE_MAX);

// Creates or replaces the file with the bytes. The bytes go to a temporary file in the same
// folder that is renamed over the target only once complete, so a failed write leaves an existing
// file as it was. An existing file we may not write is refused, as creating it in place would be;
// a symbolic link is written through to the file it names. Throws the file-create error naming
// the path and the system's reason.
void writeFileReplacing(const std::filesystem::path& path, const ByteParts& parts);
void writeFileReplacing(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace wqt
