#pragma once
// One embedded file in and out of a theme: import from a file the user offers (native, or a PNG
// picture for a RAW entry), import of ready bytes (a fitted picture), export to a file. Entries
// are named by the map's entry numbers; the slot numbering stays inside the document.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "files/file_kind.h"
#include "files/import_export.h"
#include "files/unpack_layout.h"
#include "map/theme_map.h"
#include "theme/theme_document.h"

namespace wqt {

// The checks of the entry's kind on the offered file, in the editor's order, storing nothing:
// on success `bytes` holds what the entry's slot would store (a PNG converted to RAW words).
// `as` Png reads a PNG picture for a RAW entry; other kinds ignore it. A file that is missing or
// cannot be read throws the file-open error (code FileOpen, with its errno).
ImportOutcome checkFileImport(const FileEntry& entry, const std::filesystem::path& file,
                              RawFormat as, std::vector<std::uint8_t>& bytes);

// The format a file offered by name is read as: a ".png" for a RAW entry is a picture.
RawFormat offeredFormat(const std::filesystem::path& file);

// checkFileImport, then the bytes go into the entry's slot. An entry the map lacks or the
// document has no slot for is NoSlot.
ImportOutcome importFile(ThemeDocument& doc, const ThemeMap& map, std::int32_t entry,
                         const std::filesystem::path& file, RawFormat as);

// Ready bytes for the entry (a picture fitted to the entry's size), checked as a file of those
// bytes would be, then stored.
ImportOutcome importBytes(ThemeDocument& doc, const ThemeMap& map, std::int32_t entry,
                          std::vector<std::uint8_t> bytes);

// Puts back data the entry held before (a step of the edit history taken back or done again),
// unchecked: it was stored once already. Returns the data it replaces.
std::vector<std::uint8_t> restoreEntryData(ThemeDocument& doc, std::int32_t entry,
                                           std::vector<std::uint8_t> data);

// The checks importBytes makes, storing nothing.
ImportOutcome checkBytesImport(const FileEntry& entry, std::span<const std::uint8_t> bytes);

// The file an export writes for a chosen name: the kind's extension (".png" for a RAW picture as
// PNG) forced on it.
std::filesystem::path exportTarget(const FileEntry& entry, const std::string& chosen, RawFormat as);

// The name an export takes when none is chosen: the entry's caption made safe, with the
// extension.
std::filesystem::path defaultExportName(const ThemeMap& map, std::int32_t entry, RawFormat as);

// An entry's data as exported: as stored, or a RAW picture as PNG. Throws "Stream read error"
// for a RAW slot shorter than its picture.
std::vector<std::uint8_t> exportBytes(const FileEntry& entry, std::span<const std::uint8_t> data,
                                      RawFormat as);

// Writes the entry's data to `target`, replacing an existing file only once complete. Throws
// the file-create error.
void exportEntry(const ThemeDocument& doc, const ThemeMap& map, std::int32_t entry,
                 const std::filesystem::path& target, RawFormat as);

}  // namespace wqt
