#include "base/xdg_dirs.h"

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
  const std::string_view list = dataDirs != nullptr ? dataDirs : "";
  for (std::size_t start = 0, colon = 0; colon != std::string_view::npos; start = colon + 1) {
    colon = list.find(':', start);
    const std::string_view entry = list.substr(start, colon - start);
    if (entry.starts_with('/')) dirs.dataDirs.emplace_back(entry);
  }
  if (dirs.dataDirs.empty()) dirs.dataDirs = {"/usr/local/share", "/usr/share"};
  return dirs;
}

}  // namespace wqt
