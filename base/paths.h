#pragma once
// Names of files and folders: where the program lies, a file name with another extension.
#include <filesystem>
#include <string>
#include <string_view>

namespace wqt {

std::filesystem::path executableDir();

// Replaces the extension of the path's final component (from its last dot) with ext, which
// starts with a dot, or appends ext when the final component has no dot.
std::string replaceExtension(const std::string& path, std::string_view ext);

}  // namespace wqt
