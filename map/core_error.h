#pragma once
// Errors of the core. Every unforeseen failure is a wqt::Error carrying the exact text the
// window's top-level handler shows to the user.
#include <filesystem>
#include <stdexcept>
#include <string>

namespace wqt {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A read past the end of an in-memory copy of a file.
inline constexpr const char* kStreamReadError = "Stream read error";

[[noreturn]] void throwStreamReadError();

// The runtime's file-open error: names the full path and the system's reason (errno).
[[noreturn]] void throwFileOpenError(const std::filesystem::path& path, int systemError);
// The same error with a reason of our own, for a failure the system does not name.
[[noreturn]] void throwFileOpenError(const std::filesystem::path& path, const char* reason);

// The runtime's file-create error: names the full path and the system's reason (errno).
[[noreturn]] void throwFileCreateError(const std::filesystem::path& path, int systemError);

}  // namespace wqt
