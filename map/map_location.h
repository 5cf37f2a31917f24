#pragma once
// Where the editor and the command-line tool look for the theme map when none is named.
#include <filesystem>

namespace wqt {

// The map the programs use by default: "theme.rxt" beside the running executable.
std::filesystem::path defaultMapPath();

}  // namespace wqt
