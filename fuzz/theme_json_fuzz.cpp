// The input is the text of a theme.json as pack reads it from an unpacked folder: it is either
// refused with a message or read into a description that writes out and reads back the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ops/theme_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  wqt::ThemeFolder folder;
  try {
    folder = wqt::fromThemeJson(text);
  } catch (const wqt::Error& error) {
    if (error.code() != wqt::ErrorCode::Other) std::abort();
    return 0;
  }
  // What was read writes out and reads back alike (the reader takes only well-formed UTF-8).
  if (!(wqt::fromThemeJson(wqt::toThemeJson(folder)) == folder)) std::abort();
  return 0;
}
