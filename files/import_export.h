#pragma once
// Moving one embedded file between its slot and a disk file, with the checks of its kind.
// The window runs the dialogs and shows the results; every rule is here.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/core_error.h"
#include "map/theme_map.h"
#include "theme/theme_document.h"

namespace wqt {

inline constexpr const char* kUnknownKindMessage = "Ошибка #1";
inline constexpr const char* kWrongSizeMessage =
    "Некорректный размер загружаемого файла. Загрузка невозможна.";
inline constexpr const char* kTooLargeMessage =
    "Размер открываемого файла превышает максимальное значение! Загрузка невозможна.";

// The refusal for a JPEG whose picture size differs from the entry's: two lines joined by CR LF,
// the second with the picture's width and height, then the entry's.
std::string dimensionMessage(int pictureWidth, int pictureHeight, int entryWidth, int entryHeight);

// Whether the selected entry exists in the map and has a slot in the document.
bool entryHasSlot(const ThemeMap& map, const ThemeDocument& doc, std::int32_t entry);

enum class ImportRefusal {
  None,
  NoSlot,             // the entry has no slot in the theme: kUnknownKindMessage
  UnknownKind,        // kUnknownKindMessage
  WrongSize,          // kWrongSizeMessage
  TooLarge,           // kTooLargeMessage
  Dimensions,         // dimensionMessage(): the picture's size differs from the entry's
  PictureUnreadable,  // the JPEG or PNG library rejects the picture
};

struct ImportOutcome {
  ImportRefusal refusal = ImportRefusal::None;
  std::string message;          // the editor's text for the refusal (UTF-8)
  std::uint64_t foundSize = 0;  // WrongSize: the offered file's size in bytes
  // Dimensions: the offered picture's size (a JPEG, or a PNG for a RAW entry).
  int pictureWidth = 0;
  int pictureHeight = 0;
  // PictureUnreadable: the JPEG or PNG library's error (code Jpeg or Png). The window shows a
  // JPEG's as an error, a PNG's as the message above.
  std::optional<Error> error;
  // PictureUnreadable for a JPG entry: the format of the picture offered instead of a JPEG
  // ("PNG", "WebP", ...), when it is one; null otherwise.
  const char* otherFormat = nullptr;

  bool stored() const { return refusal == ImportRefusal::None; }
};

// The checks' outcome with, when accepted, the bytes to store.
struct ImportCandidate : ImportOutcome {
  std::vector<std::uint8_t> bytes;  // exactly the disk file size of them when accepted
};

ImportCandidate refusedImport(ImportRefusal code, std::string text,
                              std::optional<Error> error = std::nullopt);
// The refusal of a picture of another size than the entry's, with the picture's size.
ImportCandidate dimensionRefusal(const FileEntry& entry, int pictureWidth, int pictureHeight);

// Runs the kind's checks on the chosen file in their order. Throws the file-open error when the
// file cannot be read, and "JPEG error #N" when a JPG's header is rejected.
ImportCandidate checkImport(const FileEntry& entry, const std::filesystem::path& chosen);

// The name export writes: the chosen name with the kind's extension forced on it.
std::string exportFileName(const std::string& chosen, std::string_view kindExtension);

// A file's size as a directory search reports it: a signed 32-bit number.
std::int32_t diskFileSize(std::uint64_t size);

// The size box text: decimal digits, a space and "б".
std::string sizeText(std::uint64_t size);

}  // namespace wqt
