#include "ops/html_text.h"

namespace wqt {

void appendHtmlText(std::string& out, std::string_view utf8) {
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          // U+2400 + c (U+2421 for DEL), three bytes of UTF-8.
          const unsigned symbol = byte == 0x7F ? 0x2421 : 0x2400 + byte;
          out += static_cast<char>(0xE0 | (symbol >> 12));
          out += static_cast<char>(0x80 | ((symbol >> 6) & 0x3F));
          out += static_cast<char>(0x80 | (symbol & 0x3F));
        } else {
          out += c;
        }
    }
  }
}

std::string htmlText(std::string_view utf8) {
  std::string out;
  appendHtmlText(out, utf8);
  return out;
}

void appendBase64(std::string& out, std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  out.reserve(out.size() + (bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += kDigits[(v >> 6) & 63];
    out += kDigits[v & 63];
  }
  if (const std::size_t rest = bytes.size() - i; rest != 0) {
    const std::uint32_t v = bytes[i] << 16 | (rest == 2 ? bytes[i + 1] << 8 : 0);
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += rest == 2 ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
}

}  // namespace wqt
