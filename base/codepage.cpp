#include "base/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace wqt {

namespace {

// One iconv conversion descriptor, opened once per direction and reset before every use.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; on an input unit iconv cannot convert, writes `replacement` and skips
  // `skip(in, pos)` bytes of input.
  template <typename Skip>
  std::string convert(std::string_view in, std::string_view replacement, Skip skip) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(in.size() * 2 + 4);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buf[1024];
    while (srcLeft > 0) {
      char* dst = buf;
      std::size_t dstLeft = sizeof buf;
      const std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buf, static_cast<std::size_t>(dst - buf));
      if (rc != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
      // EILSEQ or EINVAL (a sequence cut off at the end): replace it and go on.
      const std::size_t pos = in.size() - srcLeft;
      const std::size_t n = std::clamp<std::size_t>(skip(in, pos), 1, srcLeft);
      out += replacement;
      src += n;
      srcLeft -= n;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

// Length of the malformed or unmappable UTF-8 character at pos: a whole well-formed character
// when it is one, otherwise a single byte.
std::size_t utf8CharLength(std::string_view s, std::size_t pos) {
  const auto lead = static_cast<unsigned char>(s[pos]);
  const std::size_t len = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return isValidUtf8(s.substr(pos, len)) ? len : 1;
}

}  // namespace

std::string cp1251ToUtf8(std::string_view cp1251) {
  thread_local Converter conv("UTF-8", "CP1251");
  return conv.convert(cp1251, "?", [](std::string_view, std::size_t) { return 1; });
}

std::string utf8ToCp1251(std::string_view utf8) {
  thread_local Converter conv("CP1251", "UTF-8");
  return conv.convert(utf8, "?", utf8CharLength);
}

std::string codeUnitsToCp1251(std::u16string_view units) {
  thread_local Converter conv("CP1251", "UTF-16LE");
  std::string bytes;
  bytes.reserve(units.size() * 2);
  for (char16_t u : units) bytes += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
  // Every unit is two bytes; a lone surrogate or an unmappable character is skipped as one unit.
  return conv.convert(bytes, "?", [](std::string_view, std::size_t) { return 2; });
}

bool isValidUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if ((c >= 0x80 && c < 0xC2) || c > 0xF4 || len > bytes.size() - i) return false;
    // The second byte's range rules out overlongs, surrogates and code points above U+10FFFF.
    const unsigned low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    const unsigned high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    for (std::size_t k = 1; k < len; ++k) {
      const auto b = static_cast<unsigned char>(bytes[i + k]);
      if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) return false;
    }
    i += len;
  }
  return true;
}

}  // namespace wqt
