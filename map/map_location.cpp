#include "map/map_location.h"

#include "map/theme_map.h"
#include "theme/file_io.h"

namespace wqt {

std::filesystem::path findMap(const std::filesystem::path& executableFolder, const XdgDirs& dirs) {
  const std::filesystem::path beside = executableFolder / kMapFileName;
  if (mapExists(beside)) return beside;
  std::vector<std::filesystem::path> candidates;
  if (!dirs.configHome.empty())
    candidates.push_back(dirs.configHome / kAppFolderName / kMapFileName);
  for (const auto& data : dirs.dataDirs) candidates.push_back(data / kAppFolderName / kMapFileName);
  for (const auto& candidate : candidates)
    if (mapExists(candidate)) return candidate;
  return beside;
}

std::filesystem::path defaultMapPath() {
  return findMap(executableDir(), xdgDirs());
}

}  // namespace wqt
