#include "fit/source_picture.h"

#include <algorithm>
#include <array>

#include "files/import_export.h"
#include "fit/fit_geometry.h"
#include "fit/source_decoders.h"
#include "fit/source_rows.h"

namespace wqt {

namespace {

enum class SourceFormat { None, Jpeg, Png };

// The format the first bytes announce; the reader is back at the first byte after.
SourceFormat sourceFormat(ByteReader& reader) {
  std::array<std::uint8_t, 8> signature{};
  const std::size_t n = reader.read(signature);
  reader.rewind();
  static constexpr std::array<std::uint8_t, 8> kPng = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (n >= 3 && signature[0] == 0xFF && signature[1] == 0xD8 && signature[2] == 0xFF) {
    return SourceFormat::Jpeg;
  }
  if (n == kPng.size() && signature == kPng) return SourceFormat::Png;
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
  FileReader reader(path);
  return sourceFormat(reader) != SourceFormat::None;
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
