#pragma once
// The user's and the system's folders by the XDG base-directory rules: where an installed editor
// finds its map and keeps its scratch file.
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>

namespace wqt {

// The programs' own folder inside each of those folders.
inline constexpr const char* kAppFolderName = "orvalen-wqt-manager";

struct XdgDirs {
  std::filesystem::path configHome;  // empty when there is no usable home folder
  std::filesystem::path dataHome;    // likewise
  std::filesystem::path cacheHome;   // likewise
  std::vector<std::filesystem::path> dataDirs;
};

// Looks up one environment variable; null when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

// The folders from XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CACHE_HOME and XDG_DATA_DIRS. A variable
// that is unset, empty or not an absolute path takes its default (~/.config, ~/.local/share,
// ~/.cache, and /usr/local/share:/usr/share); relative entries of XDG_DATA_DIRS are skipped.
// By default from this process's environment.
XdgDirs xdgDirs(const EnvironmentLookup& environment = [](const char* name) -> const char* {
  return std::getenv(name);
});

}  // namespace wqt
