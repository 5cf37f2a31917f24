// GIF sources: giflib reads the first frame line by line; it is laid on its canvas (the logical
// screen), the rest of which and the frame's transparent colour are transparent. Interlaced
// lines go to blocks, as they come in no row order.
#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <vector>

#include "fit/rgba_rows.h"
#include "fit/source_decoders.h"

namespace wqt {

namespace {

struct Input {
  ByteReader* reader;
  std::exception_ptr error;
};

int readGif(GifFileType* gif, GifByteType* out, int length) {
  auto* input = static_cast<Input*>(gif->UserData);
  try {
    std::size_t got = 0;
    const std::span<std::uint8_t> span(out, static_cast<std::size_t>(std::max(length, 0)));
    while (got < span.size()) {
      const std::size_t n = input->reader->read(span.subspan(got));
      if (n == 0) break;
      got += n;
    }
    return static_cast<int>(got);
  } catch (...) {
    input->error = std::current_exception();
    return 0;
  }
}

struct GifCloser {
  void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};

// The stored row each line of an interlaced frame is: its four passes.
int interlacedRow(int line, int height) {
  static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    const int rows =
        kStart[pass] < height ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
    if (line < rows) return kStart[pass] + line * kStep[pass];
    line -= rows;
  }
  return height - 1;
}

}  // namespace

SourcePicture decodeGifSource(ByteReader& reader, const SourceRequest& request) {
  Input input{&reader, nullptr};
  const auto failed = [&input]() -> SourceError {
    if (input.error) std::rethrow_exception(input.error);
    return SourceError(unreadablePictureMessage("GIF"));
  };
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&input, readGif, nullptr));
  if (!gif) throw failed();

  int transparent = -1;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) throw failed();
    if (type == IMAGE_DESC_RECORD_TYPE) break;
    if (type != EXTENSION_RECORD_TYPE) throw failed();  // the end, with no frame
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) throw failed();
    if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
      transparent = (block[1] & 1) != 0 ? block[4] : -1;
    }
    while (block != nullptr) {
      if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) throw failed();
    }
  }
  if (DGifGetImageDesc(gif.get()) == GIF_ERROR) throw failed();
  const GifImageDesc& frame = gif->Image;
  if (frame.Width <= 0 || frame.Height <= 0) throw failed();
  refuseOverPixelCap(std::uint64_t(frame.Width), std::uint64_t(frame.Height));
  // A canvas of no size is the frame's own.
  const int width = gif->SWidth > 0 ? gif->SWidth : frame.Left + frame.Width;
  const int height = gif->SHeight > 0 ? gif->SHeight : frame.Top + frame.Height;
  refuseOverPixelCap(std::uint64_t(width), std::uint64_t(height));
  const ColorMapObject* map = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
  if (map == nullptr) throw failed();

  // Colours by index as R, G, B, A bytes; an index past the map is transparent.
  std::array<std::uint32_t, 256> colours{};
  for (int i = 0; i < std::min(map->ColorCount, 256); ++i) {
    const GifColorType& c = map->Colors[i];
    const std::uint8_t rgba[4] = {c.Red, c.Green, c.Blue, std::uint8_t(i == transparent ? 0 : 255)};
    std::memcpy(&colours[std::size_t(i)], rgba, 4);
  }

  RgbaRows rows(width, height, request, 1, {}, frame.Interlace);
  std::vector<std::uint8_t> empty(std::size_t(width) * 4, 0), rgba(empty);
  std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
  const int top = std::min(frame.Top, height), bottom = std::min(frame.Top + frame.Height, height);
  const auto outside = [&](int from, int to) {
    for (int y = from; y < to; ++y) rows.row(y, empty.data());
  };
  outside(0, top);
  if (frame.Interlace) outside(bottom, height);
  const int left = std::min(frame.Left, width);
  const int shown = std::min(frame.Width, width - left);
  for (int i = 0; i < frame.Height; ++i) {
    if (DGifGetLine(gif.get(), line.data(), frame.Width) == GIF_ERROR) throw failed();
    const int y = frame.Top + (frame.Interlace ? interlacedRow(i, frame.Height) : i);
    if (y >= height) {
      if (frame.Interlace) continue;
      break;  // the rest of the frame is off the canvas
    }
    for (int x = 0; x < shown; ++x) {
      std::memcpy(&rgba[std::size_t(left + x) * 4], &colours[line[std::size_t(x)]], 4);
    }
    rows.row(y, rgba.data());
  }
  if (!frame.Interlace) outside(bottom, height);
  return rows.finish();
}

}  // namespace wqt
