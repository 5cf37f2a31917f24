#pragma once
// Text from files (captions, header fields, paths) as a terminal or a message shows it: controls
// that would drive the terminal or reorder the line made visible, and values cut to fit a line.
#include <cstddef>
#include <string>
#include <string_view>

namespace wqt {

// Control characters shown as escapes, so that text from a theme or a map cannot drive the
// terminal nor turn the rest of the line around: C0 and DEL as \xHH, C1 controls and the
// direction marks, embeddings, overrides and isolates (U+061C, U+200E/F, U+202A..U+202E,
// U+2066..U+2069) as \uHHHH. Line feeds stay when `keepLineFeeds` is set (messages that list
// lines).
std::string escapeControls(std::string_view text, bool keepLineFeeds = false);

// JSON text (UTF-8, its C0 controls escaped already, as any JSON writer does) with DEL, the C1
// controls and the direction controls escaped as \u00HH or \uHHHH too. Such characters stand only
// inside strings, so the JSON means the same.
std::string escapeJsonControls(std::string_view json);

// A value for a message, cut in the middle with "…" when longer than `limit` bytes: the start and
// the end of a path say the most. Never splits a UTF-8 character.
inline constexpr std::size_t kShownValueBytes = 160;
std::string shortened(std::string_view text, std::size_t limit = kShownValueBytes);

}  // namespace wqt
