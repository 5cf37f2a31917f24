#include "map/xml_lib.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wqt::xml {

namespace {

// Bit i of each mask is set when byte i of a block of text is that character. The line-end
// masks are filled only when the scan looks for line ends.
struct BlockMasks {
  std::uint32_t quote, angle, semicolon, space, lf, cr, ctrlZ;

  void keepBelow(unsigned bit) {
    const std::uint32_t keep = (1u << bit) - 1;
    quote &= keep, angle &= keep, semicolon &= keep, space &= keep, cr &= keep, ctrlZ &= keep;
  }
  void dropBelow(std::size_t seen) {
    quote >>= seen, angle >>= seen, semicolon >>= seen, space >>= seen;
    lf >>= seen, cr >>= seen, ctrlZ >>= seen;
  }
};

#if defined(__SSE2__)
constexpr std::size_t kBlock = 16;

template <bool kLineEnds>
[[gnu::always_inline]] inline BlockMasks blockMasks(const char* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  auto mask = [&](char c) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c))));
  };
  if constexpr (kLineEnds) {
    return {mask('"'), mask('<'), mask(';'), mask(' '), mask('\n'), mask('\r'), mask(kCtrlZ)};
  }
  return {mask('"'), mask('<'), mask(';'), mask(' '), 0, 0, 0};
}
#else
constexpr std::size_t kBlock = 8;

template <bool kLineEnds>
[[gnu::always_inline]] inline BlockMasks blockMasks(const char* p) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  auto mask = [&](char c) {
    const std::uint64_t x = word ^ (kOnes * static_cast<unsigned char>(c));
    const std::uint64_t top = ~(((x & kLow7) + kLow7) | x | kLow7);  // top bit of equal bytes
    return static_cast<std::uint32_t>(((top >> 7) * 0x0102040810204080ull) >> 56);
  };
  if constexpr (kLineEnds) {
    return {mask('"'), mask('<'), mask(';'), mask(' '), mask('\n'), mask('\r'), mask(kCtrlZ)};
  }
  return {mask('"'), mask('<'), mask(';'), mask(' '), 0, 0, 0};
}
#endif

// One pass, a block of bytes at a time, over a line (kLineEnds false: the whole text) or over the
// line that starts the text and ends at its first LF (kLineEnds true). It records what the rules
// look at: the first "<", the first ";", the first space after the "<", the positions of the
// quotes that delimit the six stored values and how many quotes there are; for line ends, where
// the line stops and whether it holds a CR or a Ctrl-Z other than the CR of a CR LF end.
template <bool kLineEnds>
void scan(std::string_view text, MapLine& result) {
  constexpr std::size_t kNone = std::string_view::npos;
  constexpr int kStoredQuotes = 12;
  std::size_t angle = kNone, semicolon = kNone, space = kNone;
  std::size_t quotes[kStoredQuotes];
  int quoteCount = 0;
  std::size_t end = text.size(), firstCr = kNone;
  int crCount = 0;
  bool ctrlZ = false;

  const std::size_t n = text.size();
  for (std::size_t base = 0; base < n; base += kBlock) {
    BlockMasks m;
    if (n - base >= kBlock) {
      m = blockMasks<kLineEnds>(text.data() + base);
    } else if (n >= kBlock) {
      // The last, partial block: the block that ends with the text, its bytes before `base`
      // (seen already) shifted out.
      m = blockMasks<kLineEnds>(text.data() + n - kBlock);
      m.dropBelow(kBlock - (n - base));
    } else {
      // A text shorter than a block: the bytes past its end are 0 and match nothing.
      char tail[kBlock] = {};
      std::memcpy(tail, text.data(), n);
      m = blockMasks<kLineEnds>(tail);
    }
    if constexpr (kLineEnds) {
      if (m.lf != 0) {
        const unsigned at = static_cast<unsigned>(std::countr_zero(m.lf));
        end = base + at;
        m.keepBelow(at);
      }
      if (m.cr != 0) {
        if (firstCr == kNone) firstCr = base + static_cast<std::size_t>(std::countr_zero(m.cr));
        crCount += std::popcount(m.cr);
      }
      ctrlZ = ctrlZ || m.ctrlZ != 0;
    }
    if (angle == kNone && m.angle != 0) angle = base + std::countr_zero(m.angle);
    if (semicolon == kNone && m.semicolon != 0) semicolon = base + std::countr_zero(m.semicolon);
    if (angle != kNone && space == kNone) {
      // Only a space after the "<" counts.
      std::uint32_t spaces = m.space;
      if (angle >= base) spaces &= ~((2u << (angle - base)) - 1);
      if (spaces != 0) space = base + std::countr_zero(spaces);
    }
    for (std::uint32_t q = m.quote; q != 0; q &= q - 1) {
      if (quoteCount < kStoredQuotes) quotes[quoteCount] = base + std::countr_zero(q);
      ++quoteCount;
    }
    if (kLineEnds && end != n) break;
  }

  result.length = end;
  // A CR right before the LF ends the line with it; any other CR, and a Ctrl-Z, need the line
  // rebuilt first.
  const bool crLfEnd = crCount == 1 && firstCr + 1 == end;
  result.needsCleaning = ctrlZ || (crCount > 0 && !crLfEnd);
  const std::string_view line = text.substr(0, crLfEnd ? end - 1 : end);

  LineParts& parts = result.parts;
  // Skipped: shorter than 5, a comment, no "<", or a ";" before the first "<".
  parts.skipped = line.size() < 5 || line.front() == ';' || angle == kNone ||
                  (semicolon != kNone && semicolon < angle);
  // The tag name runs from after the first "<" to the first space after it.
  parts.tag = angle != kNone && space != kNone
                  ? std::string_view(line.data() + angle + 1, space - angle - 1)
                  : kNotFound;
  parts.valueCount = quoteCount % 2 != 0 ? -1 : quoteCount / 2;
  const int stored = std::min(parts.valueCount, static_cast<int>(parts.values.size()));
  for (int k = 0; k < stored; ++k) {
    const std::size_t open = quotes[2 * k], close = quotes[2 * k + 1];
    parts.values[static_cast<std::size_t>(k)] =
        std::string_view(line.data() + open + 1, close - open - 1);
  }
}

}  // namespace

LineParts scanLine(std::string_view line) {
  MapLine result;
  scan<false>(line, result);
  return result.parts;
}

void scanMapLine(std::string_view text, MapLine& line) {
  scan<true>(text, line);
}

std::uint64_t Hex2Int(std::string_view text) {
  if (text.empty()) return 0;
  if (text.back() == 'H' || text.back() == 'h') text.remove_suffix(1);
  if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
  std::uint64_t value = 0;
  for (const char ch : text) {
    const int digit = hexDigit(ch);
    if (digit < 0) return 0;
    value = value * 16 + static_cast<std::uint64_t>(digit);
  }
  return value;
}

Error notAnIntegerError(std::string_view shownText) {
  return Error("'" + std::string(shownText) + "' is not a valid integer value",
               ErrorCode::NotInteger, 0, {}, std::string(shownText));
}

std::optional<std::int32_t> tryDecimalValue(std::string_view text) {
  text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
  const bool negative = text.starts_with('-');
  if (negative || text.starts_with('+')) text.remove_prefix(1);

  std::size_t prefix = text.starts_with("0x") || text.starts_with("0X") ? 2 : 0;
  if (text.starts_with('$') || text.starts_with('x') || text.starts_with('X')) prefix = 1;
  const int base = prefix != 0 ? 16 : 10;
  text.remove_prefix(prefix);
  if (text.empty()) return std::nullopt;

  // Accumulate in 64 bits and stop as soon as the signed 32-bit range is left.
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;
  std::int64_t magnitude = 0;
  for (const char ch : text) {
    const int digit = hexDigit(ch);
    if (digit < 0 || digit >= base) return std::nullopt;
    magnitude = magnitude * base + digit;
    if (magnitude > kLimit) return std::nullopt;
  }
  if (!negative && magnitude == kLimit) return std::nullopt;
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace wqt::xml
