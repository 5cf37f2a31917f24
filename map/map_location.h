#pragma once
// Where the editor and the command-line tool look for the theme map when none is named.
#include <filesystem>

#include "map/xdg_dirs.h"

namespace wqt {

// The map the programs use by default: "theme.rxt" beside the running executable (a portable
// copy unpacked with its map), else the user's own in $XDG_CONFIG_HOME/orvalen-wqt-manager/, else
// the installed one in the first $XDG_DATA_DIRS folder whose orvalen-wqt-manager/ holds it. When
// none exists, the path beside the executable, which callers report as the missing map.
std::filesystem::path defaultMapPath();
// The same lookup for a given executable folder and XDG folders.
std::filesystem::path findMap(const std::filesystem::path& executableFolder, const XdgDirs& dirs);

}  // namespace wqt
