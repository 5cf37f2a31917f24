#include "files/import_export.h"

#include <cerrno>
#include <utility>

#include "base/file_descriptor.h"
#include "base/file_io.h"
#include "base/paths.h"
#include "files/file_kind.h"
#include "files/import_rules.h"
#include "files/jpeg_decoder.h"
#include "theme/theme_layout.h"

namespace wqt {

namespace {

// The accepted file's bytes are exactly its disk file size of them. A read that gave fewer (the
// file shrank after it was measured) is a read past the end of the copy; extra bytes (it grew)
// are not stored.
ImportCandidate accept(const std::filesystem::path& chosen, std::vector<std::uint8_t> bytes,
                       std::int32_t diskSize) {
  // The file was read, yet a directory search no longer finds it.
  if (diskSize < 0) throwFileOpenError(chosen, ENOENT);
  const auto size = static_cast<std::size_t>(diskSize);
  if (bytes.size() < size) throwStreamReadError();
  bytes.resize(size);
  return {{}, std::move(bytes)};
}

}  // namespace

std::string dimensionMessage(int pictureWidth, int pictureHeight, int entryWidth, int entryHeight) {
  const auto size = [](int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
  };
  return "Размеры загружаемого изображения должны соответствовать заданным в карте темы!\r\n"
         "Загружаемый размер: " +
         size(pictureWidth, pictureHeight) + ", необходим: " + size(entryWidth, entryHeight);
}

bool entryHasSlot(const ThemeMap& map, const ThemeDocument& doc, std::int32_t entry) {
  return map.entry(entry) != nullptr && doc.hasEntrySlot(entry);
}

ImportCandidate refusedImport(ImportRefusal code, std::string text, std::optional<Error> error) {
  ImportCandidate refused;
  refused.refusal = code;
  refused.message = std::move(text);
  refused.error = std::move(error);
  return refused;
}

ImportCandidate dimensionRefusal(const FileEntry& entry, int pictureWidth, int pictureHeight) {
  ImportCandidate refused =
      refusedImport(ImportRefusal::Dimensions,
                    dimensionMessage(pictureWidth, pictureHeight, entry.width, entry.height));
  refused.pictureWidth = pictureWidth;
  refused.pictureHeight = pictureHeight;
  return refused;
}

ImportCandidate checkImport(const FileEntry& entry, const std::filesystem::path& chosen) {
  if (!kindInfo(entry.kind)) return refusedImport(ImportRefusal::UnknownKind, kUnknownKindMessage);

  // A folder, device, pipe or socket passes no check sensibly and may never end. One look at the
  // file gives both sizes: packing a folder checks thousands of files.
  const std::optional<std::uint64_t> size = refuseNonRegularFile(chosen);
  const std::int32_t diskSize = size ? diskFileSize(*size) : -1;
  // The disk file size is a 32-bit number, so a file of 4 GiB or more can report a small size that
  // passes the checks. Its real size decides whether it fits a slot; storing its first bytes as if
  // they were the whole file would be silent corruption.
  // Only the header is read for a JPG's dimensions: the file may be of any size.
  ImportCandidate checked =
      importRefusal(entry, {diskSize, size.value_or(0)}, [&] { return readJpegFileSize(chosen); });
  if (!checked.stored()) return checked;
  // Read only once accepted, and whole, so the slot is replaced in one step or not at all; never
  // more than a slot holds, should the file have grown since it was measured.
  return accept(chosen, readWholeFile(chosen, kSlotCapacity), diskSize);
}

std::string exportFileName(const std::string& chosen, std::string_view kindExtension) {
  return replaceExtension(chosen, kindExtension);
}

std::int32_t diskFileSize(std::uint64_t size) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(size));
}

std::string sizeText(std::uint64_t size) {
  return std::to_string(size) + " б";
}

}  // namespace wqt
