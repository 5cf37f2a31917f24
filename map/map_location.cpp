#include "map/map_location.h"

#include <algorithm>

#include "map/theme_map.h"

namespace wqt {

std::vector<std::filesystem::path> mapSearchPlaces(const std::filesystem::path& executableFolder,
                                                   const XdgDirs& dirs) {
  std::vector<std::filesystem::path> places{executableFolder / kMapFileName};
  // Without a home folder there is no user's own map.
  for (const auto* home : {&dirs.configHome, &dirs.dataHome})
    if (!home->empty()) places.push_back(*home / kAppFolderName / kMapFileName);
  for (const auto& data : dirs.dataDirs) places.push_back(data / kAppFolderName / kMapFileName);
  // Last, the map installed with the program wherever its prefix is (/opt/..., a staging tree),
  // which the data folders name only for the usual prefixes.
  if (executableFolder.is_absolute()) {
    const auto own = (executableFolder.parent_path() / "share" / kAppFolderName / kMapFileName)
                         .lexically_normal();
    if (std::find(places.begin(), places.end(), own) == places.end()) places.push_back(own);
  }
  return places;
}

std::filesystem::path defaultMapPath(const std::filesystem::path& executableFolder,
                                     const XdgDirs& dirs) {
  const auto places = mapSearchPlaces(executableFolder, dirs);
  for (const auto& place : places)
    if (mapExists(place)) return place;
  return places.front();
}

}  // namespace wqt
