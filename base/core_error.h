#pragma once
// Errors of the core. Every unforeseen failure is a wqt::Error carrying the exact text the
// window's top-level handler shows to the user, and a code with the system's errno and the path
// it concerns, so that a front end that words it differently never reads the text.
#include <filesystem>
#include <stdexcept>
#include <string>

namespace wqt {

enum class ErrorCode {
  Other,         // the text is the whole message (already the editor's own words)
  StreamRead,    // a read past the end of a file's bytes: "Stream read error"
  FileOpen,      // 'Cannot open file "PATH". REASON'
  FileCreate,    // 'Cannot create file "PATH". REASON'
  FileNotFound,  // a map file that is not there: "File not found"
  FileAccess,    // a map file we may not read: "File access denied"
  InputOutput,   // any other failure reading a map file: "I/O error N"
  NotInteger,    // "'TEXT' is not a valid integer value"; detail() is TEXT
  RangeCheck,    // "Range check error"
  Jpeg,          // "JPEG error #N" from the JPEG library
  Png,           // "PNG error: MESSAGE" from the PNG library
};

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& text, ErrorCode code = ErrorCode::Other, int systemError = 0,
                 std::filesystem::path path = {}, std::string detail = {})
      : std::runtime_error(text),
        code_(code),
        systemError_(systemError),
        path_(std::move(path)),
        detail_(std::move(detail)) {}

  ErrorCode code() const { return code_; }
  // The errno behind a file error; 0 when the system named none (a folder, a device).
  int systemError() const { return systemError_; }
  const std::filesystem::path& path() const { return path_; }
  // The reason of a file error as the text gives it, the text a NotInteger error quotes, or a
  // JPEG error's message code.
  const std::string& detail() const { return detail_; }

 private:
  ErrorCode code_;
  int systemError_;
  std::filesystem::path path_;
  std::string detail_;
};

// A read past the end of an in-memory copy of a file.
inline constexpr const char* kStreamReadError = "Stream read error";

[[noreturn]] inline void throwStreamReadError() {
  throw Error(kStreamReadError, ErrorCode::StreamRead);
}

// The runtime's file-open error: names the full path and the system's reason (errno).
[[noreturn]] void throwFileOpenError(const std::filesystem::path& path, int systemError);
// The same error with a reason of our own, for a failure the system does not name.
[[noreturn]] void throwFileOpenError(const std::filesystem::path& path, const char* reason);

// The runtime's file-create error: names the full path and the system's reason (errno).
[[noreturn]] void throwFileCreateError(const std::filesystem::path& path, int systemError);

}  // namespace wqt
