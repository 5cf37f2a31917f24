// WebP sources: libwebp decodes the first frame at the reduced size the fit needs (its own
// scaling), alpha and all; the EXIF orientation and the ICC profile come from their chunks.
#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "fit/fit_geometry.h"
#include "fit/rgba_rows.h"
#include "fit/source_decoders.h"

namespace wqt {

namespace {

// The file is held whole while it is decoded, and a lossless picture (or the alpha of a lossy
// one) whole at its full size: together with the reduced picture they stay within this.
constexpr std::uint64_t kWebpMemory = 56u << 20;

using Demux = std::unique_ptr<WebPDemuxer, decltype(&WebPDemuxDelete)>;

std::vector<std::uint8_t> readAll(ByteReader& reader) {
  const std::uint64_t size = reader.size();
  if (size > kWebpMemory) throw SourceError(kSourceMemoryMessage);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::size_t got = 0;
  while (got < bytes.size()) {
    const std::size_t n = reader.read(std::span(bytes).subspan(got));
    if (n == 0) break;
    got += n;
  }
  bytes.resize(got);
  return bytes;
}

std::span<const std::uint8_t> chunk(WebPDemuxer* demux, const char* fourcc) {
  WebPChunkIterator it;
  if (!WebPDemuxGetChunk(demux, fourcc, 1, &it)) return {};
  const std::span<const std::uint8_t> found(it.chunk.bytes, it.chunk.size);
  WebPDemuxReleaseChunkIterator(&it);
  return found;
}

int orientationOf(std::span<const std::uint8_t> exif) {
  // The chunk holds the TIFF structure; some writers keep the APP1 marker's "Exif\0\0" before it.
  std::vector<std::uint8_t> app1 = {'E', 'x', 'i', 'f', 0, 0};
  const bool prefixed = exif.size() >= 6 && std::equal(app1.begin(), app1.end(), exif.begin());
  if (prefixed) app1.clear();
  app1.insert(app1.end(), exif.begin(), exif.end());
  return normalOrientation(exifOrientation(app1));
}

}  // namespace

SourcePicture decodeWebpSource(ByteReader& reader, const SourceRequest& request) {
  const std::vector<std::uint8_t> file = readAll(reader);
  const WebPData data{file.data(), file.size()};
  const Demux demux(WebPDemux(&data), WebPDemuxDelete);
  if (!demux) throw SourceError(unreadablePictureMessage("WebP"));
  refuseOverPixelCap(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH),
                     WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT));
  WebPIterator frame;
  if (!WebPDemuxGetFrame(demux.get(), 1, &frame))
    throw SourceError(unreadablePictureMessage("WebP"));
  const std::span<const std::uint8_t> bitstream(frame.fragment.bytes, frame.fragment.size);
  WebPDemuxReleaseIterator(&frame);

  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config) ||
      WebPGetFeatures(bitstream.data(), bitstream.size(), &config.input) != VP8_STATUS_OK) {
    throw SourceError(unreadablePictureMessage("WebP"));
  }
  const int width = config.input.width, height = config.input.height;
  refuseOverPixelCap(std::uint64_t(width), std::uint64_t(height));
  const int orientation = orientationOf(chunk(demux.get(), "EXIF"));
  const bool swap = swapsAxes(orientation);

  // The library scales while decoding: to twice what the target needs, within the pixel budget.
  const double pixels = double(width) * height;
  const double scale =
      std::min({1.0, minimumReadScale(swap ? height : width, swap ? width : height, request.target),
                std::sqrt(double(kSourcePixelBudget) / pixels)});
  const int outWidth = std::max(1, static_cast<int>(std::ceil(width * scale - 1e-9)));
  const int outHeight = std::max(1, static_cast<int>(std::ceil(height * scale - 1e-9)));
  const std::uint64_t full = std::uint64_t(width) * std::uint64_t(height);
  const std::uint64_t decoder = config.input.format == 2 ? full * 4
                                : config.input.has_alpha ? full
                                                         : 0;
  const std::uint64_t out = std::uint64_t(outWidth) * std::uint64_t(outHeight) * 4;
  if (file.size() + decoder + 2 * out > kWebpMemory) throw SourceError(kSourceMemoryMessage);

  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(out));
  config.options.use_threads = 0;
  if (outWidth != width || outHeight != height) {
    config.options.use_scaling = 1;
    config.options.scaled_width = outWidth;
    config.options.scaled_height = outHeight;
  }
  config.output.colorspace = MODE_RGBA;
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = rgba.data();
  config.output.u.RGBA.stride = outWidth * 4;
  config.output.u.RGBA.size = rgba.size();
  const VP8StatusCode status = WebPDecode(bitstream.data(), bitstream.size(), &config);
  WebPFreeDecBuffer(&config.output);
  if (status != VP8_STATUS_OK) throw SourceError(unreadablePictureMessage("WebP"));

  RgbaRows rows(outWidth, outHeight, request, orientation, chunk(demux.get(), "ICCP"));
  for (int y = 0; y < outHeight; ++y) rows.row(y, rgba.data() + std::size_t(y) * outWidth * 4);
  SourcePicture picture = rows.finish();
  picture.width = swap ? height : width;
  picture.height = swap ? width : height;
  return picture;
}

}  // namespace wqt
