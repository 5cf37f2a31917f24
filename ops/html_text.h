#pragma once
// Text and data put into an HTML page: UTF-8 text as character data that never becomes markup,
// and bytes as the base64 of a data URI.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace wqt {

// Appends UTF-8 text fit for an element's content or a quoted attribute value: &, <, >, " and '
// become references, and control characters (which a page may not hold) their visible symbols
// (U+2400 onwards), so a caption of any bytes shows as text.
void appendHtmlText(std::string& out, std::string_view utf8);
std::string htmlText(std::string_view utf8);

// Appends the bytes in base64 (RFC 4648, with padding).
void appendBase64(std::string& out, std::span<const std::uint8_t> bytes);

}  // namespace wqt
