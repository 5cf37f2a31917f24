#pragma once
// The theme being edited: the byte image of its file, the store of its embedded files and the
// header fields written in place.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "base/file_descriptor.h"
#include "base/file_io.h"
#include "map/theme_map.h"
#include "theme/theme_layout.h"

namespace wqt {

// A whole theme file checked against the map, ready to become the current document.
struct ParsedTheme {
  enum class Status { Ok, Signature1Mismatch, Signature2Mismatch, SlotTooLarge };
  Status status = Status::Ok;
  std::vector<std::uint8_t> image;               // the whole file
  std::vector<std::vector<std::uint8_t>> slots;  // slot 0 unused; slot e + 1 holds entry e
  std::uint32_t tooLargeSlot = 0;                // for SlotTooLarge: the 1-based slot number
};

// Checks a theme file's bytes against the map before anything of a document changes: the
// signatures (a mismatch is a Status), then the header fields, the size table, every size within
// the file and the type byte when the map has one (each a "Stream read error" thrown), every size
// at most kSlotCapacity (a Status). A file too short for signature 1, or for signature 2 when
// signature 1 matches, throws "Stream read error" before any comparison can fail.
ParsedTheme parseThemeFile(std::vector<std::uint8_t> bytes, const MapSettings& settings);

// The same checks and result as parseThemeFile(readWholeFile(path), settings), except that the
// image holds only the bytes before the data region (all the document uses of it): each slot is
// read straight into its place. Throws the file-open error when the file cannot be read or is not
// a regular file.
ParsedTheme readThemeFile(const std::filesystem::path& path, const MapSettings& settings);

// A theme file opened to be walked one slot at a time, so that its embedded files need not all be
// in memory at once. Opening runs the checks of readThemeFile and reads only the bytes before the
// data region; readEntry() fetches one entry's data. Throws as readThemeFile does.
class ThemeFileSlots {
 public:
  ThemeFileSlots(const std::filesystem::path& path, const MapSettings& settings);

  ParsedTheme::Status status() const { return parsed_.status; }
  // For SlotTooLarge: the entry whose slot is too large.
  std::int32_t tooLargeEntry() const { return static_cast<std::int32_t>(parsed_.tooLargeSlot) - 1; }
  // The bytes before the data region, as readThemeFile's image holds them.
  const std::vector<std::uint8_t>& image() const { return parsed_.image; }
  // For a file whose status is Ok: how many entries have a slot, an entry's size (0 for one
  // without a slot) and its data. Reading throws "Stream read error" if the file has shrunk since.
  std::size_t entryCount() const { return sizes_.size(); }
  std::uint32_t entrySize(std::int32_t entry) const {
    return entry >= 0 && static_cast<std::size_t>(entry) < entryCount()
               ? sizes_[static_cast<std::size_t>(entry)]
               : 0;
  }
  void readEntry(std::int32_t entry, std::vector<std::uint8_t>& out) const;

  // The status and the image as a ParsedTheme without slots (the file stays open for reading).
  ParsedTheme takeParsed() { return std::move(parsed_); }

 private:
  std::filesystem::path path_;
  FileDescriptor fd_;
  ParsedTheme parsed_;
  std::vector<std::uint32_t> sizes_;
  std::vector<std::uint64_t> offsets_;
};

// Save refuses a layout whose saved file the same map could not open again as it was saved: a
// data region or size table starting inside the fixed header fields, a size table running past
// the data offset, or a type byte inside a fixed field or anywhere the save cuts or zeroes.
bool saveLayoutOverlaps(const MapSettings& settings);
inline constexpr const char* kLayoutOverlapMessage =
    "Области файла темы, заданные в карте темы, перекрываются. Сохранение невозможно.";

// Checks, before a theme file is written, that the same map opens it again: `header` is the
// bytes before the data region (as headerForSave gives them) and `sizes` the entries' sizes in
// entry order. Returns the open's status; a file the open would find cut short, or whose table
// gives other sizes, throws "Stream read error". A header given whole from elsewhere may carry
// wrong signatures.
ParsedTheme::Status reopenStatus(std::span<const std::uint8_t> header,
                                 std::span<const std::uint32_t> sizes, const MapSettings& settings);

// The bytes before the data region as a save writes them: the image cut or extended to the data
// offset, the size table's area zeroed from the table offset, the sizes (entry order) written.
std::vector<std::uint8_t> headerForSave(std::span<const std::uint8_t> image,
                                        const MapSettings& settings,
                                        std::span<const std::uint32_t> sizes);

// Why replaceSlot refuses data above kSlotCapacity (UTF-8).
inline constexpr const char* kSlotCapacityMessage =
    "Размер вложенного файла превышает 524288 байт.";

class ThemeDocument {
 public:
  enum class FieldResult { Stored, TooLong };

  bool hasImage() const { return hasImage_; }

  // Whether the theme changed since it was opened, created or saved: an import into a slot, a
  // header field or the type byte written with other bytes than it held.
  bool modified() const { return modified_; }
  // The theme as it is now counts as the one on disk: after a save, or after the window's own
  // rewrite of the header fields that belongs to opening a theme.
  void markUnmodified() { modified_ = false; }

  // Makes a parsed (status Ok) theme the current document.
  void adopt(ParsedTheme&& parsed);
  // A document of a theme's bytes before its data region with every entry empty: its header
  // fields and type byte as the editor reads and writes them, without the files.
  void adoptHeader(std::vector<std::uint8_t> image, std::size_t fileCount);

  // A new theme from the map's settings: file count + 1 empty slots, and the larger of
  // data-offset and kHeaderFixedEnd zero bytes with the new header written in.
  void create(const MapSettings& settings);

  // Stores the box's Windows-1251 text as UTF-8: TooLong (image unchanged) when it has more
  // bytes than the field, otherwise clears the field and writes the text (extending the image).
  FieldResult setHeaderField(const HeaderField& field, std::string_view cp1251Text);

  // Writes the theme type byte. Throws "Stream read error" when it lies past the image's end.
  void setThemeType(const MapSettings& settings, std::uint8_t index);

  // Slots 1..count; slot 0 is never used. A slot's size is its data's length.
  std::size_t slotCount() const { return slots_.empty() ? 0 : slots_.size() - 1; }
  const std::vector<std::uint8_t>& slot(std::size_t i) const { return slots_.at(i); }
  // Replaces slot i's data in one step. Refuses data above kSlotCapacity.
  void replaceSlot(std::size_t i, std::vector<std::uint8_t> data);

  // The same by entry number, the numbering of the map (entry e is slot e + 1): whether the entry
  // has a slot, the data it holds (empty without a slot) and replacing it.
  bool hasEntrySlot(std::int32_t entry) const {
    return entry >= 0 && static_cast<std::size_t>(entry) < slotCount();
  }
  std::span<const std::uint8_t> entryData(std::int32_t entry) const {
    if (!hasEntrySlot(entry)) return {};
    return slots_[static_cast<std::size_t>(entry) + 1];
  }
  void replaceEntryData(std::int32_t entry, std::vector<std::uint8_t> data) {
    replaceSlot(static_cast<std::size_t>(entry) + 1, std::move(data));
  }

  // Whether any slot from 1 to the file count is empty (save is refused then).
  bool hasEmptySlot(const MapSettings& settings) const;

  // Rebuilds the image for saving (headerForSave). Returns the file's content: the image, then the
  // slots' data back to back, as pieces that stay valid until the document changes.
  // Throws kLayoutOverlapMessage, leaving the image untouched, when the map's regions overlap
  // (see saveLayoutOverlaps); throws std::out_of_range when the store lacks a slot of the count.
  ByteParts rebuildForSave(const MapSettings& settings);

  // The same rebuild of the image for a save whose slots hold `sizes` bytes (entry order), for
  // writing a theme whose files come one at a time; returns the bytes before the data region.
  std::span<const std::uint8_t> rebuildHeader(const MapSettings& settings,
                                              std::span<const std::uint32_t> sizes);

  // The entries' sizes in entry order, for the map's file count (a slot the store lacks is 0).
  std::vector<std::uint32_t> entrySizes(const MapSettings& settings) const;

  // Bytes the slot store holds on the heap (the capacities of the slots' buffers).
  std::size_t slotMemory() const;

  const std::vector<std::uint8_t>& image() const { return image_; }

 private:
  bool hasImage_ = false;
  bool modified_ = false;
  std::vector<std::uint8_t> image_;
  std::vector<std::vector<std::uint8_t>> slots_{1};
};

}  // namespace wqt
