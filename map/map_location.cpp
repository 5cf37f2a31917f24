#include "map/map_location.h"

#include "map/theme_map.h"
#include "theme/file_io.h"

namespace wqt {

std::filesystem::path defaultMapPath() {
  return executableDir() / kMapFileName;
}

}  // namespace wqt
