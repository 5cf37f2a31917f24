#pragma once
// Hand-built PNG files for tests: hostile ones that cost a careless reader gigabytes or seconds,
// made in a few milliseconds and a few bytes.
#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace wqt::test {

inline void appendU32BE(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// A chunk with its length and checksum.
inline void appendChunk(std::vector<std::uint8_t>& out, std::string_view type,
                        const std::vector<std::uint8_t>& data) {
  appendU32BE(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  const auto crc = crc32(0, out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
  appendU32BE(out, static_cast<std::uint32_t>(crc));
}

// The signature and the header of an 8-bit RGB picture.
inline std::vector<std::uint8_t> pngStart(std::uint32_t width, std::uint32_t height,
                                          bool interlaced = false) {
  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  appendU32BE(header, width);
  appendU32BE(header, height);
  header.insert(header.end(), {8, 2, 0, 0, std::uint8_t(interlaced ? 1 : 0)});
  appendChunk(out, "IHDR", header);
  return out;
}

// 57 bytes: a chunk of `type` that claims 2^31 - 1 bytes, followed by 16 of them.
inline std::vector<std::uint8_t> chunkBombPng(std::string_view type) {
  std::vector<std::uint8_t> out = pngStart(32, 32);
  appendU32BE(out, 0x7FFFFFFF);
  out.insert(out.end(), type.begin(), type.end());
  out.resize(out.size() + 16, 'A');
  return out;
}

// The bytes of a black picture's rows before compression: a filter byte and three bytes a pixel
// for each row of each pass.
inline std::size_t blankRowBytes(std::uint32_t width, std::uint32_t height, bool interlaced) {
  if (!interlaced) return std::size_t{height} * (std::size_t{width} * 3 + 1);
  std::size_t bytes = 0;
  for (int pass = 0; pass < 7; ++pass) {
    const std::size_t columns = PNG_PASS_COLS(width, pass), rows = PNG_PASS_ROWS(height, pass);
    if (columns != 0) bytes += rows * (columns * 3 + 1);
  }
  return bytes;
}

// A black picture whose compressed rows go on with `trailingMiB` MiB of zeros inside the same
// stream, then IEND. The zeros are one compressed MiB repeated: after a full flush the
// compressor starts afresh, so each MiB compresses to the same bytes.
inline std::vector<std::uint8_t> deflateBombPng(std::uint32_t width, std::uint32_t height,
                                                std::uint32_t trailingMiB,
                                                bool interlaced = false) {
  z_stream z{};
  deflateInit(&z, Z_BEST_COMPRESSION);
  std::vector<std::uint8_t> stream;
  const auto compress = [&](std::vector<std::uint8_t> in, int flush) {
    std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(in.size())) + 64);
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, flush);
    out.erase(out.end() - static_cast<std::ptrdiff_t>(z.avail_out), out.end());
    return out;
  };
  const std::vector<std::uint8_t> rows(blankRowBytes(width, height, interlaced), 0);
  const std::vector<std::uint8_t> mib(1 << 20, 0);
  stream = compress(rows, Z_FULL_FLUSH);
  const std::vector<std::uint8_t> zeros = compress(mib, Z_FULL_FLUSH);
  deflateEnd(&z);
  uLong adler = adler32(1, rows.data(), static_cast<uInt>(rows.size()));
  const uLong zerosAdler = adler32(1, mib.data(), static_cast<uInt>(mib.size()));
  for (std::uint32_t i = 0; i < trailingMiB; ++i) {
    stream.insert(stream.end(), zeros.begin(), zeros.end());
    adler = adler32_combine(adler, zerosAdler, static_cast<z_off_t>(mib.size()));
  }
  // A last, empty stored block ends the stream; the checksum of everything follows.
  stream.insert(stream.end(), {0x01, 0x00, 0x00, 0xFF, 0xFF});
  appendU32BE(stream, static_cast<std::uint32_t>(adler));

  std::vector<std::uint8_t> out = pngStart(width, height, interlaced);
  appendChunk(out, "IDAT", stream);
  appendChunk(out, "IEND", {});
  return out;
}

}  // namespace wqt::test
