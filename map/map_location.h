#pragma once
// Where the editor and the command-line tool look for the theme map when none is named.
#include <filesystem>
#include <vector>

#include "base/paths.h"
#include "base/xdg_dirs.h"

namespace wqt {

// Every place a map is looked for, in the order it is looked for: "theme.rxt" beside the running
// executable (a build folder or a portable copy unpacked with its map), the user's own in
// $XDG_CONFIG_HOME/orvalen-wqt-manager/, the user's installed one in
// $XDG_DATA_HOME/orvalen-wqt-manager/ (`--prefix ~/.local`), then the system's in each
// $XDG_DATA_DIRS folder's orvalen-wqt-manager/, last the one in share/orvalen-wqt-manager/ of the
// executable's own prefix (../share/... from its folder) when that is not one of those. What a
// front end lists when no map is found. By default for this process's executable and folders.
std::vector<std::filesystem::path> mapSearchPlaces(
    const std::filesystem::path& executableFolder = executableDir(),
    const XdgDirs& dirs = xdgDirs());

// The map the programs use by default: the first of mapSearchPlaces() that exists. When none
// exists, the path beside the executable, which callers report as the missing map.
std::filesystem::path defaultMapPath(
    const std::filesystem::path& executableFolder = executableDir(),
    const XdgDirs& dirs = xdgDirs());

}  // namespace wqt
