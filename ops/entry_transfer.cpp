#include "ops/entry_transfer.h"

#include <cerrno>
#include <string_view>

#include "base/file_io.h"
#include "files/import_rules.h"
#include "files/jpeg_decoder.h"
#include "files/png_picture.h"
#include "fit/source_picture.h"

namespace wqt {

namespace {

ImportOutcome noSlot() {
  return refusedImport(ImportRefusal::NoSlot, kUnknownKindMessage);
}

bool asPng(const FileEntry& entry, RawFormat as) {
  return as == RawFormat::Png && entry.kind == EntryKind::Raw;
}

}  // namespace

RawFormat offeredFormat(const std::filesystem::path& file) {
  return file.extension() == ".png" ? RawFormat::Png : RawFormat::Raw;
}

ImportOutcome checkFileImport(const FileEntry& entry, const std::filesystem::path& file,
                              RawFormat as, std::vector<std::uint8_t>& bytes) {
  // The size check would take a missing file for one of the wrong size.
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) throwFileOpenError(file, ENOENT);
  ImportCandidate candidate;
  try {
    candidate = asPng(entry, as) ? checkPngImport(entry, file) : checkImport(entry, file);
  } catch (const JpegError& e) {
    candidate = refusedImport(ImportRefusal::PictureUnreadable, e.what(), e);
    // A picture of another format can be called what it is rather than a damaged JPEG.
    const char* format = entry.kind == EntryKind::Jpg ? sourceFormatName(file) : nullptr;
    if (format != nullptr && std::string_view(format) != "JPEG") candidate.otherFormat = format;
  }
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  candidate.foundSize = ec ? 0 : size;
  bytes = std::move(candidate.bytes);
  return candidate;
}

ImportOutcome importFile(ThemeDocument& doc, const ThemeMap& map, std::int32_t entry,
                         const std::filesystem::path& file, RawFormat as) {
  const FileEntry* known = map.entry(entry);
  if (known == nullptr || !doc.hasEntrySlot(entry)) return noSlot();
  std::vector<std::uint8_t> bytes;
  ImportOutcome outcome = checkFileImport(*known, file, as, bytes);
  if (outcome.stored()) doc.replaceEntryData(entry, std::move(bytes));
  return outcome;
}

ImportOutcome importBytes(ThemeDocument& doc, const ThemeMap& map, std::int32_t entry,
                          std::vector<std::uint8_t> bytes) {
  const FileEntry* known = map.entry(entry);
  if (known == nullptr || !doc.hasEntrySlot(entry)) return noSlot();
  ImportOutcome outcome = checkBytesImport(*known, bytes);
  if (outcome.stored()) doc.replaceEntryData(entry, std::move(bytes));
  return outcome;
}

std::vector<std::uint8_t> restoreEntryData(ThemeDocument& doc, std::int32_t entry,
                                           std::vector<std::uint8_t> data) {
  const std::span<const std::uint8_t> held = doc.entryData(entry);
  std::vector<std::uint8_t> replaced(held.begin(), held.end());
  doc.replaceEntryData(entry, std::move(data));
  return replaced;
}

ImportOutcome checkBytesImport(const FileEntry& entry, std::span<const std::uint8_t> bytes) {
  ImportOutcome outcome;
  try {
    outcome = importRefusal(entry, bytes);
  } catch (const JpegError& e) {
    outcome = refusedImport(ImportRefusal::PictureUnreadable, e.what(), e);
  }
  outcome.foundSize = bytes.size();
  return outcome;
}

std::filesystem::path exportTarget(const FileEntry& entry, const std::string& chosen,
                                   RawFormat as) {
  return exportFileName(chosen, layoutExtension(entry, as));
}

std::filesystem::path defaultExportName(const ThemeMap& map, std::int32_t entry, RawFormat as) {
  return exportFileName(safeName(map.captionUtf8(map.entryNode(entry))),
                        layoutExtension(*map.entry(entry), as));
}

std::vector<std::uint8_t> exportBytes(const FileEntry& entry, std::span<const std::uint8_t> data,
                                      RawFormat as) {
  if (asPng(entry, as)) return rawToPng(entry, data);
  return {data.begin(), data.end()};
}

void exportEntry(const ThemeDocument& doc, const ThemeMap& map, std::int32_t entry,
                 const std::filesystem::path& target, RawFormat as) {
  const FileEntry* known = map.entry(entry);
  if (known != nullptr) writeFileReplacing(target, exportBytes(*known, doc.entryData(entry), as));
}

}  // namespace wqt
