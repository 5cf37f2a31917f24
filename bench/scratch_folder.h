#pragma once
// The folder a benchmark writes its inputs and outputs to: a new one under $TMPDIR
// (scripts/bench.sh points it at memory), else under /tmp.
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace wqt::bench {

inline std::filesystem::path scratchFolder(const std::string& name) {
  const char* root = std::getenv("TMPDIR");
  std::string pattern =
      std::string(root != nullptr && *root != '\0' ? root : "/tmp") + "/" + name + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed: " + pattern);
  return pattern;
}

}  // namespace wqt::bench
