// The input is the text of a theme.json as pack reads it from an unpacked folder: it is either
// refused with a message (status 2) or read into a description that writes out and reads back
// the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cli/cli_support.h"
#include "cli/theme_json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  wqtcli::ThemeFolder folder;
  try {
    folder = wqtcli::fromThemeJson(text);
  } catch (const wqtcli::Failure& failure) {
    if (failure.status() != wqtcli::kExitUsage) std::abort();
    return 0;
  }
  // What was read writes out and reads back alike (the reader takes only well-formed UTF-8).
  if (!(wqtcli::fromThemeJson(wqtcli::toThemeJson(folder)) == folder)) std::abort();
  return 0;
}
