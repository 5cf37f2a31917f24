#pragma once
// JPEG decoding with libjpeg from memory. A fatal library error becomes wqt::Error
// "JPEG error #<message code>"; warnings and trace messages are ignored.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "base/core_error.h"
#include "files/picture.h"

namespace wqt {

// A fatal error of the JPEG library, with its message "JPEG error #<code>" and the code as its
// detail (which a copy as wqt::Error keeps). afterHeader tells
// whether the header stage had passed (or there was no header to read, for empty bytes) when
// decoding failed: a preview clears the view at that point, so the window clears it then too.
class JpegError : public Error {
 public:
  JpegError(int code, bool afterHeader);
  int code() const { return code_; }
  bool afterHeader() const { return afterHeader_; }

 private:
  int code_;
  bool afterHeader_;
};

struct JpegSize {
  int width = 0;
  int height = 0;
};

// Reads only the header. Empty bytes read as 0 × 0 without calling the library.
JpegSize readJpegSize(std::span<const std::uint8_t> bytes);

// The same for a file on disk, read from its start only as far as the header goes, so the file's
// size does not matter. An empty file reads as 0 × 0. Throws the file-open error when the file
// cannot be opened or read, or is not a regular file.
JpegSize readJpegFileSize(const std::filesystem::path& path);

// The largest picture decodeJpeg decodes, in pixels (4096 × 4096): a larger one fails with
// "JPEG error #N", N being the library's code for an image too big, before it is allocated.
inline constexpr std::uint64_t kMaxPreviewPixels = 4096ull * 4096ull;

// Decodes the whole picture at scale 1/1 with block smoothing: 24-bit RGB, or for a grayscale
// JPEG (and when quantize is set) at most 236 colours chosen by the library into Indexed8. A file
// of more scans or scan work than any picture needs (files/jpeg_session.h) fails, once its header
// has been read, with the library's "JPEG error #N" for an invalid scan script.
Picture decodeJpeg(std::span<const std::uint8_t> bytes, bool quantize = false);

// A full decode, as the theme check makes it: the import reads only a JPEG's header and the
// preview ignores the library's warnings, so a picture whose data is cut short or damaged passes
// both; here every scan is decoded and a warning about corrupt data counts as a fault. Returns the
// library's text about why (empty when it gave none); nullopt for a sound picture.
std::optional<std::string> jpegCorruption(std::span<const std::uint8_t> bytes);

}  // namespace wqt
