// TIFF sources: libtiff reads the first page band by band (a strip's or a row of tiles' height)
// into 8-bit RGBA whatever its samples (8 or 16 bits, grey, palette, RGB, CMYK, YCbCr) and
// compression; the rows keep their stored order and the Orientation tag turns them upright.
#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

#include "fit/rgba_rows.h"
#include "fit/source_decoders.h"

namespace wqt {

namespace {

// The most the library may allocate at once (a strip or tile decoded whole), and the most one
// band of RGBA rows takes: a page stored in one larger compressed strip is refused.
constexpr tmsize_t kMaxLibraryAllocation = 32 << 20;
constexpr std::uint64_t kMaxBandBytes = 16u << 20;

struct Input {
  ByteReader* reader;
  std::uint64_t offset = 0;
  std::exception_ptr error;
};

tmsize_t readTiff(thandle_t handle, void* out, tmsize_t size) {
  auto* input = static_cast<Input*>(handle);
  if (size <= 0) return 0;
  try {
    input->reader->seek(input->offset);
    std::size_t got = 0;
    const std::span<std::uint8_t> span(static_cast<std::uint8_t*>(out), std::size_t(size));
    while (got < span.size()) {
      const std::size_t n = input->reader->read(span.subspan(got));
      if (n == 0) break;
      got += n;
    }
    input->offset += got;
    return static_cast<tmsize_t>(got);
  } catch (...) {
    if (!input->error) input->error = std::current_exception();
    return -1;
  }
}

tmsize_t writeTiff(thandle_t, void*, tmsize_t) {
  return -1;
}

toff_t seekTiff(thandle_t handle, toff_t offset, int whence) {
  auto* input = static_cast<Input*>(handle);
  const toff_t base = whence == SEEK_CUR   ? input->offset
                      : whence == SEEK_END ? input->reader->size()
                                           : 0;
  input->offset = base + offset;
  return input->offset;
}

int closeTiff(thandle_t) {
  return 0;
}

toff_t sizeTiff(thandle_t handle) {
  return static_cast<Input*>(handle)->reader->size();
}

int noMap(thandle_t, void**, toff_t*) {
  return 0;
}

void noUnmap(thandle_t, void*, toff_t) {}

// The library's errors and warnings are not printed; a failure says the file cannot be read.
int quiet(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

}  // namespace

SourcePicture decodeTiffSource(ByteReader& reader, const SourceRequest& request) {
  Input input{&reader, 0, nullptr};
  const auto failed = [&input]() -> SourceError {
    if (input.error) std::rethrow_exception(input.error);
    return SourceError(unreadablePictureMessage("TIFF"));
  };
  std::unique_ptr<TIFFOpenOptions, decltype(&TIFFOpenOptionsFree)> options(TIFFOpenOptionsAlloc(),
                                                                           TIFFOpenOptionsFree);
  if (!options) throw std::bad_alloc();
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxLibraryAllocation);
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), quiet, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), quiet, nullptr);
  const std::unique_ptr<TIFF, TiffCloser> tiff(
      TIFFClientOpenExt("picture", "rm", &input, readTiff, writeTiff, seekTiff, closeTiff, sizeTiff,
                        noMap, noUnmap, options.get()));
  if (!tiff) throw failed();

  std::uint32_t width = 0, height = 0;
  if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0) {
    throw failed();
  }
  refuseOverPixelCap(width, height);
  // A strip or tile the library would decode whole beyond its bound is said to be too large,
  // not damaged (an uncompressed one the library reads in parts).
  const std::uint64_t piece =
      TIFFIsTiled(tiff.get()) ? TIFFTileSize64(tiff.get()) : TIFFStripSize64(tiff.get());
  if (piece > std::uint64_t(kMaxLibraryAllocation)) throw SourceError(kSourceMemoryMessage);
  std::uint32_t band = 0;
  if (TIFFIsTiled(tiff.get())) {
    TIFFGetField(tiff.get(), TIFFTAG_TILELENGTH, &band);
  } else {
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ROWSPERSTRIP, &band);
  }
  band = std::clamp<std::uint32_t>(band, 1, height);
  // A band too wide for its bound is read in parts: the library decodes the strip again for each.
  band = std::min<std::uint64_t>(band, std::max<std::uint64_t>(1, kMaxBandBytes / (width * 4ull)));

  std::uint32_t iccSize = 0;
  void* iccData = nullptr;
  std::span<const std::uint8_t> icc;
  if (TIFFGetField(tiff.get(), TIFFTAG_ICCPROFILE, &iccSize, &iccData) && iccData != nullptr) {
    icc = {static_cast<const std::uint8_t*>(iccData), iccSize};
  }

  char message[1024] = {};
  TIFFRGBAImage image{};
  if (!TIFFRGBAImageOK(tiff.get(), message) ||
      !TIFFRGBAImageBegin(&image, tiff.get(), 0, message)) {
    throw failed();
  }
  const std::unique_ptr<TIFFRGBAImage, decltype(&TIFFRGBAImageEnd)> end(&image, TIFFRGBAImageEnd);
  // The rows as stored: the orientation is ours to apply, all eight of it.
  image.req_orientation = image.orientation;

  const int w = static_cast<int>(width), h = static_cast<int>(height);
  RgbaRows rows(w, h, request, image.orientation, icc);
  std::vector<std::uint32_t> raster(std::size_t(width) * band);
  for (std::uint32_t y = 0; y < height; y += band) {
    const std::uint32_t count = std::min(band, height - y);
    image.row_offset = static_cast<int>(y);
    image.col_offset = 0;
    if (!TIFFRGBAImageGet(&image, raster.data(), width, count)) throw failed();
    for (std::uint32_t r = 0; r < count; ++r) {
      // R, G, B, A bytes in memory; alpha comes premultiplied.
      auto* rgba = reinterpret_cast<std::uint8_t*>(raster.data() + std::size_t(r) * width);
      for (std::uint32_t x = 0; x < width; ++x) {
        std::uint8_t* p = rgba + std::size_t(x) * 4;
        const unsigned a = p[3];
        if (a == 0 || a == 255) continue;
        for (int c = 0; c < 3; ++c) p[c] = std::uint8_t(std::min(255u, (p[c] * 255u + a / 2) / a));
      }
      rows.row(static_cast<int>(y + r), rgba);
    }
  }
  if (input.error) std::rethrow_exception(input.error);
  return rows.finish();
}

}  // namespace wqt
