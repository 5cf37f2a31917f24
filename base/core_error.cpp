#include "base/core_error.h"

#include <cstring>

namespace wqt {

void throwFileOpenError(const std::filesystem::path& path, int systemError) {
  const char* reason = std::strerror(systemError);
  throw Error("Cannot open file \"" + path.string() + "\". " + reason, ErrorCode::FileOpen,
              systemError, path, reason);
}

void throwFileOpenError(const std::filesystem::path& path, const char* reason) {
  throw Error("Cannot open file \"" + path.string() + "\". " + reason, ErrorCode::FileOpen, 0, path,
              reason);
}

void throwFileCreateError(const std::filesystem::path& path, int systemError) {
  const char* reason = std::strerror(systemError);
  throw Error("Cannot create file \"" + path.string() + "\". " + reason, ErrorCode::FileCreate,
              systemError, path, reason);
}

}  // namespace wqt
