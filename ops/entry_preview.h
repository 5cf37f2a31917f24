#pragma once
// The pictures a front end shows of an entry's file: the preview of a JPG or RAW file, its size
// read before decoding, and the file handed to another program and read back from it.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "files/jpeg_decoder.h"
#include "files/png_picture.h"
#include "files/preview.h"

namespace wqt {

// JPG and RAW files have a picture to show; the other kinds none.
bool hasPreview(const FileEntry& entry);

// A JPG or RAW file's picture: a JPEG decoded through the scratch file, reduced to a palette
// for a low-colour screen; RAW pixels as stored. Throws JpegError for a JPEG the library rejects.
Picture entryPreview(const FileEntry& entry, std::span<const std::uint8_t> data,
                     const std::filesystem::path& scratchFile, bool lowColour);

// The dimensions entryPreview will give: the JPEG header's, the entry's for RAW.
JpegSize previewSize(const FileEntry& entry, std::span<const std::uint8_t> data);

// The file another program edits: a JPEG as stored, a RAW picture as PNG.
std::vector<std::uint8_t> editableFile(const FileEntry& entry, std::span<const std::uint8_t> data);

// The dimensions of what the other program wrote back when the bytes are a complete picture of
// the kind (JPEG for JPG, PNG for RAW); nullopt while the file is cut short or unreadable.
std::optional<JpegSize> completePicture(EntryKind kind, std::span<const std::uint8_t> bytes);

}  // namespace wqt
