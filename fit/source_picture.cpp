#include "fit/source_picture.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "files/import_export.h"
#include "fit/fit_geometry.h"
#include "fit/source_decoders.h"
#include "fit/source_rows.h"

namespace wqt {

namespace {

enum class SourceFormat { None, Jpeg, Png, Webp, Gif, Bmp, Tiff, Heic, Avif };

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view text, std::size_t at = 0) {
  return bytes.size() >= at + text.size() &&
         std::equal(text.begin(), text.end(), bytes.begin() + std::ptrdiff_t(at),
                    [](char c, std::uint8_t b) { return std::uint8_t(c) == b; });
}

// A HEIF container by its file-type box's brands: AVIF when the major brand or, for a generic
// major brand, a compatible one says so.
SourceFormat heifFormat(std::span<const std::uint8_t> b) {
  using namespace std::string_view_literals;
  if (!startsWith(b, "ftyp"sv, 4)) return SourceFormat::None;
  const auto brand = [&b](std::size_t at) {
    return std::string_view(reinterpret_cast<const char*>(b.data()) + at, 4);
  };
  const std::string_view major = brand(8);
  if (major == "avif"sv || major == "avis"sv) return SourceFormat::Avif;
  if (major == "heic"sv || major == "heix"sv) return SourceFormat::Heic;
  if (major != "mif1"sv && major != "msf1"sv) return SourceFormat::None;
  const std::size_t box = std::size_t(b[0]) << 24 | std::size_t(b[1]) << 16 |
                          std::size_t(b[2]) << 8 | std::size_t(b[3]);
  for (std::size_t at = 16; at + 4 <= std::min(box, b.size()); at += 4) {
    if (brand(at) == "avif"sv || brand(at) == "avis"sv) return SourceFormat::Avif;
  }
  return SourceFormat::Heic;
}

// The format the first bytes announce; the reader is back at the first byte after.
SourceFormat sourceFormat(ByteReader& reader) {
  std::array<std::uint8_t, 64> buffer{};
  const std::size_t n = reader.read(buffer);
  reader.rewind();
  const std::span<const std::uint8_t> b(buffer.data(), n);
  using namespace std::string_view_literals;
  if (startsWith(b, "\xFF\xD8\xFF"sv)) return SourceFormat::Jpeg;
  if (startsWith(b, "\x89PNG\r\n\x1A\n"sv)) return SourceFormat::Png;
  if (startsWith(b, "RIFF"sv) && startsWith(b, "WEBP"sv, 8)) return SourceFormat::Webp;
  if (startsWith(b, "GIF87a"sv) || startsWith(b, "GIF89a"sv)) return SourceFormat::Gif;
  if (startsWith(b, "BM"sv) && n >= 12) return SourceFormat::Bmp;
  if (startsWith(b, "II*\0"sv) || startsWith(b, "MM\0*"sv) || startsWith(b, "II+\0"sv) ||
      startsWith(b, "MM\0+"sv)) {
    return SourceFormat::Tiff;
  }
  if (n >= 12) return heifFormat(b);
  return SourceFormat::None;
}

// Every road to fitting starts here: a target no slot can hold is refused before reading.
void refuseImpossibleTarget(const SourceRequest& request) {
  if (!slotCanHold(request.target)) throw SourceError(kTooLargeMessage);
}

SourcePicture readFrom(ByteReader& reader, const SourceRequest& request) {
  refuseImpossibleTarget(request);
  switch (sourceFormat(reader)) {
    case SourceFormat::Jpeg:
      return decodeJpegSource(reader, request);
    case SourceFormat::Png:
      return decodePngSource(reader, request);
    case SourceFormat::Webp:
      return decodeWebpSource(reader, request);
    case SourceFormat::Gif:
      return decodeGifSource(reader, request);
    case SourceFormat::Bmp:
      return decodeBmpSource(reader, request);
    case SourceFormat::Tiff:
      return decodeTiffSource(reader, request);
    case SourceFormat::Heic:
      return decodeHeifSource(reader, request, "HEIC");
    case SourceFormat::Avif:
      return decodeHeifSource(reader, request, "AVIF");
    case SourceFormat::None:
      break;
  }
  throw SourceError(kUnknownPictureMessage);
}

}  // namespace

SourcePicture readSource(std::span<const std::uint8_t> bytes, const SourceRequest& request) {
  MemoryReader reader(bytes);
  return readFrom(reader, request);
}

SourcePicture readSourceFile(const std::filesystem::path& path, const SourceRequest& request) {
  FileReader reader(path);
  return readFrom(reader, request);
}

bool isSourceFile(const std::filesystem::path& path) {
  return sourceFormatName(path) != nullptr;
}

const char* sourceFormatName(const std::filesystem::path& path) {
  FileReader reader(path);
  static constexpr const char* kNames[] = {nullptr, "JPEG", "PNG",  "WebP", "GIF",
                                           "BMP",   "TIFF", "HEIC", "AVIF"};
  return kNames[static_cast<int>(sourceFormat(reader))];
}

SourcePicture sourceFromRgba(const std::uint8_t* rgba, int width, int height, std::size_t stride,
                             const SourceRequest& request) {
  refuseImpossibleTarget(request);
  if (width <= 0 || height <= 0) throw SourceError(kUnknownPictureMessage);
  if (std::uint64_t(width) * std::uint64_t(height) > kMaxSourcePixels) {
    throw SourceError(kPictureTooLargeMessage);
  }
  const int factor =
      reductionFactor(width, height, minimumReadScale(width, height, request.target));
  SourceRows rows(width, height, factor, 1, request.background);
  for (int y = 0; y < height; ++y) rows.push(rgba + stride * std::size_t(y));
  return {rows.finish(), width, height};
}

}  // namespace wqt
