#include "base/xdg_dirs.h"

#include <cstdlib>
#include <string_view>

namespace wqt {

namespace {

// The variable's value when it is an absolute path; the rules say to ignore any other.
std::filesystem::path absoluteOrEmpty(const char* value) {
  if (value == nullptr || value[0] != '/') return {};
  return value;
}

std::filesystem::path homeBased(const EnvironmentLookup& environment, const char* variable,
                                const char* underHome) {
  if (auto set = absoluteOrEmpty(environment(variable)); !set.empty()) return set;
  const auto home = absoluteOrEmpty(environment("HOME"));
  return home.empty() ? home : home / underHome;
}

}  // namespace

XdgDirs xdgDirs(const EnvironmentLookup& environment) {
  XdgDirs dirs;
  dirs.configHome = homeBased(environment, "XDG_CONFIG_HOME", ".config");
  dirs.dataHome = homeBased(environment, "XDG_DATA_HOME", ".local/share");
  dirs.cacheHome = homeBased(environment, "XDG_CACHE_HOME", ".cache");

  const char* dataDirs = environment("XDG_DATA_DIRS");
  std::string_view list = dataDirs != nullptr ? dataDirs : "";
  while (!list.empty()) {
    const std::size_t colon = list.find(':');
    const std::string_view entry = list.substr(0, colon);
    if (entry.starts_with('/')) dirs.dataDirs.emplace_back(entry);
    list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
  }
  if (dirs.dataDirs.empty()) dirs.dataDirs = {"/usr/local/share", "/usr/share"};
  return dirs;
}

XdgDirs xdgDirs() {
  return xdgDirs([](const char* name) { return static_cast<const char*>(std::getenv(name)); });
}

}  // namespace wqt
