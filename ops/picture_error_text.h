#pragma once
// What the command line and the fitting dialog say when a picture cannot be read.
#include <string>

#include "base/core_error.h"

namespace wqt {

// A JPEG library's error says in Russian what happened, its "JPEG error #N" kept after it
// ("Файл не является рисунком JPEG или повреждён (JPEG error #53)."); any other error is its own
// text. The window's own roads (the import's header check, the preview) show "JPEG error #N" as
// it is.
std::string pictureErrorText(const Error& error);

// A picture of another format offered for a JPG file: "Это рисунок PNG, а файл темы — JPG."
std::string otherFormatText(const char* format);

}  // namespace wqt
