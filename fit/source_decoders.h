#pragma once
// The decoders behind readSource: each reads its format from the first byte on.
#include "fit/byte_reader.h"
#include "fit/source_picture.h"

namespace wqt {

SourcePicture decodeJpegSource(ByteReader& reader, const SourceRequest& request);
SourcePicture decodePngSource(ByteReader& reader, const SourceRequest& request);
SourcePicture decodeWebpSource(ByteReader& reader, const SourceRequest& request);
SourcePicture decodeGifSource(ByteReader& reader, const SourceRequest& request);
SourcePicture decodeBmpSource(ByteReader& reader, const SourceRequest& request);
SourcePicture decodeTiffSource(ByteReader& reader, const SourceRequest& request);
// HEIC and AVIF alike; `format` names the file in a refusal.
SourcePicture decodeHeifSource(ByteReader& reader, const SourceRequest& request,
                               const char* format);

// The EXIF orientation in an APP1 marker's data ("Exif\0\0" and a TIFF structure), 1 when there
// is none or it cannot be read.
int exifOrientation(std::span<const std::uint8_t> app1);

}  // namespace wqt
