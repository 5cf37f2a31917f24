// Picture sizes read from the stream headers a HEIC or AVIF item carries, so that a size its
// container claims can be checked before the codec is given the stream.
#include "fit/stream_sizes.h"

#include <algorithm>
#include <vector>

#include "fit/byte_cursor.h"

namespace wqt {

namespace {

using Bytes = std::span<const std::uint8_t>;

// Exp-Golomb and fixed-width fields of a stream header, emulation-prevention bytes removed.
struct Bits {
  std::vector<std::uint8_t> bytes;
  std::size_t bit = 0;
  bool ok = true;

  std::uint64_t u(int n) {
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i) {
      if (bit >= bytes.size() * 8) {
        ok = false;
        return 0;
      }
      v = v << 1 | ((bytes[bit / 8] >> (7 - bit % 8)) & 1);
      ++bit;
    }
    return v;
  }
  std::uint64_t ue() {
    int zeros = 0;
    while (ok && u(1) == 0) {
      if (++zeros > 32) ok = false;
    }
    return ok ? (std::uint64_t(1) << zeros) - 1 + u(zeros) : 0;
  }
};

std::uint64_t leb128(Cursor& in) {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) {
    const std::uint64_t byte = in.take(1);
    v |= (byte & 0x7f) << (7 * i);
    if ((byte & 0x80) == 0) break;
  }
  return v;
}

// The largest frame an AV1 sequence header OBU allows, 0 if unreadable.
std::uint64_t av1SequencePixels(Bytes obu) {
  Bits b{{obu.begin(), obu.end()}};
  b.u(3);
  b.u(1);
  if (b.u(1) != 0) {  // reduced still picture header
    b.u(5);
  } else {
    int delayLength = 0;
    bool decoderModel = false;
    if (b.u(1) != 0) {  // timing info
      b.u(64);
      if (b.u(1) != 0) b.ue();
      decoderModel = b.u(1) != 0;
      if (decoderModel) {
        delayLength = int(b.u(5)) + 1;
        b.u(32 + 5 + 5);
      }
    }
    const bool displayDelay = b.u(1) != 0;
    const int points = int(b.u(5)) + 1;
    for (int i = 0; i < points && b.ok; ++i) {
      b.u(12);
      if (b.u(5) > 7) b.u(1);
      if (decoderModel && b.u(1) != 0) b.u(2 * delayLength + 1);
      if (displayDelay && b.u(1) != 0) b.u(4);
    }
  }
  const int widthBits = int(b.u(4)) + 1, heightBits = int(b.u(4)) + 1;
  const std::uint64_t width = b.u(widthBits) + 1, height = b.u(heightBits) + 1;
  return b.ok ? width * height : 0;
}

}  // namespace

std::uint64_t hevcSpsPixels(std::span<const std::uint8_t> nal) {
  Bits b;
  for (std::size_t i = 2; i < nal.size(); ++i) {
    if (i >= 4 && nal[i] == 3 && nal[i - 1] == 0 && nal[i - 2] == 0) continue;
    b.bytes.push_back(nal[i]);
  }
  b.u(4);
  const int subLayers = int(b.u(3));
  b.u(1);
  b.u(96);  // general profile, tier and level
  std::vector<bool> profile(subLayers), level(subLayers);
  for (int i = 0; i < subLayers; ++i) profile[i] = b.u(1), level[i] = b.u(1);
  if (subLayers > 0) b.u(2 * (8 - subLayers));
  for (int i = 0; i < subLayers; ++i) b.u((profile[i] ? 88 : 0) + (level[i] ? 8 : 0));
  b.ue();
  if (b.ue() == 3) b.u(1);
  const std::uint64_t width = b.ue(), height = b.ue();
  return b.ok ? width * height : 0;
}

std::uint64_t hevcConfigPixels(std::span<const std::uint8_t> hvcC) {
  Cursor in{hvcC};
  in.take(22);
  const std::uint64_t arrays = in.take(1);
  std::uint64_t most = 0;
  for (std::uint64_t a = 0; a < arrays && in.ok; ++a) {
    const bool sps = (in.take(1) & 0x3f) == 33;
    const std::uint64_t count = in.take(2);
    for (std::uint64_t n = 0; n < count && in.ok; ++n) {
      const std::size_t length = std::size_t(in.take(2));
      if (length > in.rest().size()) return most;
      if (sps) most = std::max(most, hevcSpsPixels(in.rest().first(length)));
      in.pos += length;
    }
  }
  return most;
}

std::uint64_t av1ObuPixels(std::span<const std::uint8_t> obus) {
  Cursor in{obus};
  while (in.ok && !in.done()) {
    const std::uint64_t header = in.take(1);
    if (header & 4) in.take(1);
    const std::uint64_t size = header & 2 ? leb128(in) : in.rest().size();
    if (!in.ok || size > in.rest().size()) return 0;
    if ((header >> 3 & 15) == 1) return av1SequencePixels(in.rest().first(std::size_t(size)));
    in.pos += std::size_t(size);
  }
  return 0;
}

}  // namespace wqt
