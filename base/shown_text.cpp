#include "base/shown_text.h"

#include <cstdio>

namespace wqt {

namespace {

// The length of the non-ASCII control that starts at text[i] and its code point, or 0.
struct Control {
  std::size_t length = 0;
  char32_t code = 0;
};

Control controlAt(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) {
    return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u;
  };
  const unsigned b0 = byte(0), b1 = byte(1), b2 = byte(2);
  if (b0 == 0xC2 && b1 >= 0x80 && b1 <= 0x9F) return {2, b1};  // U+0080..U+009F
  if (b0 == 0xD8 && b1 == 0x9C) return {2, 0x061C};            // Arabic mark
  if (b0 == 0xE2 && b1 == 0x80 && (b2 == 0x8E || b2 == 0x8F || (b2 >= 0xAA && b2 <= 0xAE))) {
    return {3, 0x2000u + (b2 - 0x80)};  // U+200E/F, U+202A..U+202E
  }
  if (b0 == 0xE2 && b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9) return {3, 0x2040u + (b2 - 0x80)};
  return {};
}

void appendEscape(std::string& out, const char* format, unsigned value) {
  char buf[8];
  std::snprintf(buf, sizeof buf, format, value);
  out += buf;
}

}  // namespace

std::string escapeControls(std::string_view text, bool keepLineFeeds) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n' && keepLineFeeds) {
      out += '\n';
    } else if (c < 0x20 || c == 0x7F) {
      appendEscape(out, "\\x%02x", c);
    } else if (const Control control = controlAt(text, i); control.length != 0) {
      appendEscape(out, "\\u%04x", control.code);
      i += control.length - 1;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string escapeJsonControls(std::string_view json) {
  std::string out;
  out.reserve(json.size());
  for (std::size_t i = 0; i < json.size(); ++i) {
    const Control control = json[i] == 0x7F ? Control{1, 0x7F} : controlAt(json, i);
    if (control.length == 0) {
      out += json[i];
      continue;
    }
    appendEscape(out, "\\u%04x", control.code);
    i += control.length - 1;
  }
  return out;
}

std::string shortened(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return std::string(text);
  const auto isContinuation = [&](std::size_t at) {
    return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
  };
  std::size_t headEnd = limit / 2;
  while (headEnd > 0 && isContinuation(headEnd)) --headEnd;
  std::size_t tailStart = text.size() - (limit - limit / 2);
  while (isContinuation(tailStart)) ++tailStart;
  return std::string(text.substr(0, headEnd)) + "…" + std::string(text.substr(tailStart));
}

}  // namespace wqt
