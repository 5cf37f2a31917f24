#pragma once
// A PNG picture offered for a RAW entry, from the import dialog or a drop, checked with refusals
// that say what is wrong with it.
#include <filesystem>

#include "files/import_export.h"
#include "map/theme_map.h"

namespace wqtui {

// Refused when the file is no PNG picture the library can read.
inline constexpr const char* kNotPngMessage =
    "Файл не является изображением PNG или повреждён. Загрузка невозможна.";

// The core's PNG import, refusing a picture of other dimensions than the entry's with the
// dimension message a JPEG gets (both sizes), and an unreadable PNG with kNotPngMessage.
// Throws the file-open error when the file cannot be read.
wqt::ImportCandidate checkPngImport(const wqt::FileEntry& entry,
                                    const std::filesystem::path& chosen);

}  // namespace wqtui
