#pragma once
// Conversions between the interface's 8-bit code page (Windows-1251) and Unicode.
// Strings of Unicode text are UTF-8 in std::string.
#include <string>
#include <string_view>

namespace wqt {

// Windows-1251 bytes to UTF-8. A byte the code page leaves undefined becomes "?".
std::string cp1251ToUtf8(std::string_view cp1251);

// UTF-8 text to Windows-1251. A character the code page lacks, and a malformed UTF-8 byte,
// become "?". Zero bytes are kept.
std::string utf8ToCp1251(std::string_view utf8);

// 16-bit code units to Windows-1251, one byte per unit; a unit the code page lacks
// (surrogates included) becomes "?". Zero units are kept.
std::string codeUnitsToCp1251(std::u16string_view units);

// Whether the bytes are well-formed UTF-8 (no overlongs, no surrogates, at most U+10FFFF).
bool isValidUtf8(std::string_view bytes);

}  // namespace wqt
