#pragma once
// The command line's texts are Russian. The core carries the editor's runtime texts (the
// runtime's file errors with the system's reason, "Stream read error", the JPEG and PNG libraries'
// errors), which the window shows as they are; here they are said in Russian, the editor's text
// kept after it for reference.
#include <filesystem>
#include <string>
#include <string_view>

#include "base/core_error.h"

namespace wqtcli {

// The system's reason for errno `err`, in Russian.
std::string systemErrorText(int err);

// A core error said in Russian, by its code; one whose text is Russian already comes back as it
// is.
std::string russianError(const wqt::Error& e);

// The same for a failure of the standard library's file system calls.
std::string russianError(const std::filesystem::filesystem_error& e);

}  // namespace wqtcli
