#include "files/preview.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "base/core_error.h"
#include "base/file_descriptor.h"
#include "base/file_io.h"
#include "files/jpeg_decoder.h"

namespace wqt {

namespace {

constexpr const char* kScratchFileName = "temp";

// Creates the scratch file or replaces its content in place, then reads it back through the same
// descriptor. Only a regular file of that name is written: a link is not followed, and a pipe or
// device is refused without waiting for its other end. The old content is overwritten and only
// then cut to the new length: truncating to zero first would make the file system flush the file
// on close (its guard for replace-by-truncate), which costs more than decoding a small picture.
std::vector<std::uint8_t> writeInPlace(const std::filesystem::path& path,
                                       std::span<const std::uint8_t> bytes) {
  FileDescriptor fd(
      ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
  if (!fd) throwFileCreateError(path, errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) throwFileCreateError(path, errno);
  if (!S_ISREG(st.st_mode)) {
    refuseNonRegularFile(path);
    throwFileCreateError(path, EEXIST);  // gone or replaced since it was opened
  }
  int err = writeAllAt(fd.get(), 0, bytes);
  if (err == 0 && ::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0) err = errno;
  if (err != 0) throwFileCreateError(path, err);
  std::vector<std::uint8_t> back(bytes.size());
  back.resize(readAt(fd.get(), 0, back, path));
  if (const int closed = fd.close(); closed != 0) throwFileCreateError(path, closed);
  return back;
}

bool mayWriteScratchIn(const std::filesystem::path& folder) {
  if (::access((folder / kScratchFileName).c_str(), W_OK) == 0) return true;
  return errno == ENOENT && ::access(folder.c_str(), W_OK) == 0;
}

// Whether the map in use is the one beside the executable, however it was named. A map that is
// not there is in use nowhere: that question has no error to report.
bool usesMapBeside(const std::filesystem::path& executableFolder,
                   const std::filesystem::path& mapInUse) {
  std::error_code missing;
  return std::filesystem::equivalent(mapInUse, executableFolder / kMapFileName, missing);
}

}  // namespace

std::uint32_t rgb565ToColour(std::uint16_t word) {
  const std::uint32_t red = (word >> 8) & 0xF8u;
  const std::uint32_t green = (word >> 3) & 0xFCu;
  const std::uint32_t blue = (static_cast<std::uint32_t>(word) << 3) & 0xF8u;
  return red + green * 256 + blue * 65536;
}

Picture rawPreview(const FileEntry& entry, std::span<const std::uint8_t> slot) {
  Picture picture{entry.width, entry.height, Picture::Format::Rgb32, entry.width * 4, {}, {}};
  // Four bytes a pixel need no row padding. Read in order, a short slot fails at its first missing
  // word and keeps nothing decoded, so the check can come first.
  const std::size_t pixels = std::size_t{entry.width} * entry.height;
  if (slot.size() < pixels * 2) throwStreamReadError();
  picture.pixels.resize(pixels * 4);
  for (std::size_t i = 0; i < pixels; ++i) {
    const std::uint32_t pixel =
        rgb565ToPixel(static_cast<std::uint16_t>(slot[2 * i] | slot[2 * i + 1] << 8));
    std::memcpy(picture.pixels.data() + 4 * i, &pixel, 4);
  }
  return picture;
}

std::filesystem::path scratchFilePath(const std::filesystem::path& mapInUse,
                                      const std::filesystem::path& executableFolder,
                                      const XdgDirs& dirs) {
  const std::filesystem::path beside = executableFolder / kScratchFileName;
  // Without a home folder there is no cache: writing beside the executable then reports why not.
  if (dirs.cacheHome.empty() ||
      (usesMapBeside(executableFolder, mapInUse) && mayWriteScratchIn(executableFolder)))
    return beside;
  const std::filesystem::path folder = dirs.cacheHome / kAppFolderName;
  makePrivateFolders(folder);
  return folder / kScratchFileName;
}

Picture jpegPreview(std::span<const std::uint8_t> slot, const std::filesystem::path& scratchFile,
                    bool lowColourScreen) {
  return decodeJpeg(writeInPlace(scratchFile, slot), lowColourScreen);
}

}  // namespace wqt
