#pragma once
// Previews of embedded pictures: RAW (RGB565 words) and JPEG (through the scratch file).
#include <cstdint>
#include <filesystem>
#include <span>

#include "base/paths.h"
#include "base/xdg_dirs.h"
#include "files/picture.h"
#include "map/theme_map.h"

namespace wqt {

// A pixel word to a colour 0x00BBGGRR; channel low bits stay 0 (0xFFFF gives F8, FC, F8).
std::uint32_t rgb565ToColour(std::uint16_t word);

// The same colour as the opaque word 0xFFRRGGBB a colour picture stores, in one step.
constexpr std::uint32_t rgb565ToPixel(std::uint16_t word) {
  return 0xFF000000u | (word & 0xF800u) << 8 | (word & 0x07E0u) << 5 | (word & 0x001Fu) << 3;
}

// The slot's RAW picture at the entry's width and height. Throws "Stream read error" when the
// slot holds fewer than width × height × 2 bytes; surplus bytes are ignored.
Picture rawPreview(const FileEntry& entry, std::span<const std::uint8_t> slot);

// The scratch file "temp": beside the executable when the map in use is the one beside it (a
// build folder or a portable copy) and we may write there; else in
// $XDG_CACHE_HOME/orvalen-wqt-manager/, which is made (mode 700) when missing, so an installed
// program never writes into its bin/ folder. Throws the file-create error naming the folder that
// cannot be made.
std::filesystem::path scratchFilePath(
    const std::filesystem::path& mapInUse,
    const std::filesystem::path& executableFolder = executableDir(),
    const XdgDirs& dirs = xdgDirs());

// Writes the slot to the scratch file (file-create error on failure), reads it back and decodes
// it at full size. lowColourScreen: quantize to at most 236 colours into an indexed picture, as
// is always done for grayscale JPEGs. Throws "JPEG error #N" when the library fails.
Picture jpegPreview(std::span<const std::uint8_t> slot, const std::filesystem::path& scratchFile,
                    bool lowColourScreen = false);

}  // namespace wqt
