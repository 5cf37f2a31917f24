#include "map/core_error.h"

#include <cstring>

namespace wqt {

void throwStreamReadError() {
  throw Error(kStreamReadError);
}

void throwFileOpenError(const std::filesystem::path& path, int systemError) {
  throwFileOpenError(path, std::strerror(systemError));
}

void throwFileOpenError(const std::filesystem::path& path, const char* reason) {
  throw Error("Cannot open file \"" + path.string() + "\". " + reason);
}

void throwFileCreateError(const std::filesystem::path& path, int systemError) {
  throw Error("Cannot create file \"" + path.string() + "\". " + std::strerror(systemError));
}

}  // namespace wqt
