#pragma once
// Reading a picture to fit: JPEG, PNG, WebP, GIF, BMP, TIFF, HEIC or AVIF bytes or files, or
// pixels another reader decoded, into one upright, opaque 8-bit picture. EXIF orientation (or a
// HEIF container's own turns) is applied, an embedded ICC profile converted to sRGB, CMYK and
// YCCK JPEGs converted, 16-bit samples rounded to 8 bits and alpha composited on the background
// colour.
//
// Reading is bounded: a picture of more than kMaxSourcePixels is refused once its header is
// read, before anything of its size is allocated; a large picture is reduced while it is read
// (a JPEG by the library's DCT scaling, other pictures by averaging blocks of pixels) to no less
// than twice what the target needs and to at most kSourcePixelBudget pixels, so reading any
// accepted picture stays within 64 MiB; a progressive JPEG, whose library holds the whole
// picture's coefficients until the last scan, within those and 48 MiB.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "base/core_error.h"
#include "files/picture.h"
#include "fit/fit_options.h"

namespace wqt {

// The largest picture read, in pixels, counted at its full size from its header.
inline constexpr std::uint64_t kMaxSourcePixels = 100'000'000;

// The most pixels a read picture keeps after reduction; a target needing more (4 × its own
// pixels) gets a picture reduced below twice its size rather than more memory.
inline constexpr std::uint64_t kSourcePixelBudget = 4u << 20;

// Refusals of a source picture (UTF-8). Errors of the JPEG and PNG libraries are JpegError
// ("JPEG error #N") and PngError ("PNG error: <message>").
inline constexpr const char* kUnknownPictureMessage =
    "Формат рисунка не поддерживается: нужен файл JPEG, PNG, WebP, GIF, BMP, TIFF, HEIC или AVIF. "
    "Загрузка невозможна.";
inline constexpr const char* kPictureTooLargeMessage =
    "Размер рисунка превышает 100 мегапикселей! Загрузка невозможна.";
// A JPEG whose data ends before its picture does (a file cut short), which the library would
// fill with grey.
inline constexpr const char* kCutShortJpegMessage =
    "Файл JPEG обрывается раньше конца рисунка (файл неполный). Загрузка невозможна.";

// A picture whose library would hold more of it than the memory bound allows (a large lossless
// WebP, a TIFF stored in one huge compressed strip, a large HEIC or AVIF).
inline constexpr const char* kSourceMemoryMessage =
    "Рисунок устроен так, что для подгонки его нужно держать в памяти целиком, а он слишком велик. "
    "Сохраните его как JPEG или PNG.";

class SourceError : public Error {
 public:
  using Error::Error;
};

struct SourcePicture {
  // Upright and opaque (Rgb32), possibly reduced from the full size.
  Picture pixels;
  // The upright picture's full size, in which crop windows are given.
  int width = 0;
  int height = 0;
};

// What a reader needs to know of the fit: the target (to choose the reduction) and the
// background (for transparent pixels).
struct SourceRequest {
  FitTarget target;
  Rgb background;
};

// Bytes of a format read, told apart by their signature. Throws SourceError for anything else or a
// picture above the pixel cap, JpegError or PngError for a damaged file.
SourcePicture readSource(std::span<const std::uint8_t> bytes, const SourceRequest& request);

// The same for a file, read piece by piece as decoding goes (its size does not matter). Throws
// the file-open error when it cannot be opened or read, or is not a regular file.
SourcePicture readSourceFile(const std::filesystem::path& path, const SourceRequest& request);

// Whether the file begins as a picture of a format readSourceFile reads. Throws the
// file-open error as readSourceFile does.
bool isSourceFile(const std::filesystem::path& path);

// The name of the format the file begins as ("JPEG", "PNG", "WebP", "GIF", "BMP", "TIFF",
// "HEIC", "AVIF"), or
// null for none read. Throws the file-open error as readSourceFile does.
const char* sourceFormatName(const std::filesystem::path& path);

// Non-premultiplied 8-bit RGBA pixels (R, G, B, A bytes), rows `stride` bytes apart, from a
// reader of another format; already upright, in sRGB. Throws SourceError above the pixel cap.
SourcePicture sourceFromRgba(const std::uint8_t* rgba, int width, int height, std::size_t stride,
                             const SourceRequest& request);

}  // namespace wqt
