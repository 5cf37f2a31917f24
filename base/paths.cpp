#include "base/paths.h"

#include <unistd.h>

#include <climits>

namespace wqt {

std::filesystem::path executableDir() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::filesystem::current_path();
  return std::filesystem::path(std::string(buf, static_cast<std::size_t>(n))).parent_path();
}

std::string replaceExtension(const std::string& path, std::string_view ext) {
  const std::size_t nameStart = path.find_last_of('/') + 1;  // 0 (npos + 1) without a '/'
  const std::size_t dot = path.find_last_of('.');
  return (dot != std::string::npos && dot >= nameStart ? path.substr(0, dot) : path) +
         std::string(ext);
}

}  // namespace wqt
