#pragma once
// RAW pictures as PNG: RGB565 words to 8-bit RGB with the colours the preview shows, and back by
// keeping each channel's top bits, so a picture written as PNG reads back to the same words.
// PNG files are read and written with libpng; a library failure is a wqt::Error
// "PNG error: <the library's message>".
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "files/import_export.h"
#include "files/png_reader.h"
#include "map/theme_map.h"

namespace wqt {

// 8-bit RGB, three bytes a pixel, rows top to bottom without padding.
struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

// The entry's RAW picture from the slot's words, with the preview's colours (0xFFFF gives
// F8, FC, F8). Throws "Stream read error" when the slot is shorter than the picture.
RgbPicture rawToRgb(const FileEntry& entry, std::span<const std::uint8_t> slot);

// RGB565 words keeping each channel's top bits: red >> 3, green >> 2, blue >> 3.
std::vector<std::uint8_t> rgbToRaw(const RgbPicture& picture);

// An 8-bit RGB PNG file of the picture.
std::vector<std::uint8_t> encodePng(const RgbPicture& picture);

// Any PNG (palette, grey, 16-bit, with alpha, interlaced) as 8-bit RGB: 16-bit samples keep their
// top byte, alpha is dropped. A picture of more than maxPixels pixels is refused before it is
// decoded, with dimensions but no pixels in the result. The work is bounded by the file: chunks
// the pixels do not need are skipped unread, and compressed data after the last row is not
// inflated.
RgbPicture decodePng(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels);

std::vector<std::uint8_t> rawToPng(const FileEntry& entry, std::span<const std::uint8_t> slot);

// A PNG file offered for a RAW entry: refused with the wrong-size message unless its picture has
// the entry's width and height, with the too-large message (nothing decoded) when the entry's
// picture is larger than a slot; otherwise the RAW bytes to store.
ImportCandidate importPng(const FileEntry& entry, std::span<const std::uint8_t> png);

// The largest PNG file taken for a RAW entry: any picture a slot can hold, stored uncompressed at
// 16 bits a channel with alpha, fits with room to spare for the chunks image editors add.
inline constexpr std::size_t kPngFileLimit = std::size_t{8} * kSlotCapacity;

// Refused when the file is no PNG picture the library can read.
inline constexpr const char* kNotPngMessage =
    "Файл не является изображением PNG или повреждён. Загрузка невозможна.";

// importPng on a chosen file, refusing a picture of other dimensions than the entry's with the
// dimension message a JPEG gets (both sizes), and an unreadable PNG with kNotPngMessage and the
// library's error. A larger file than kPngFileLimit is refused with the too-large message without
// being read; anything but a regular file with the file-open error.
ImportCandidate checkPngImport(const FileEntry& entry, const std::filesystem::path& chosen);

}  // namespace wqt
