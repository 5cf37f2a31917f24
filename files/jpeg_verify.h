#pragma once
// A full decode of a JPEG picture. The editor's import reads only a JPEG's header and its preview
// ignores the library's warnings, so a picture whose data is cut short or damaged passes both;
// here every scan is decoded and a warning about corrupt data counts as a fault.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace wqt {

// The library's text about why the JPEG's data cannot be decoded in full (empty when it gave
// none); nullopt for a sound picture.
std::optional<std::string> jpegCorruption(std::span<const std::uint8_t> bytes);

}  // namespace wqt
