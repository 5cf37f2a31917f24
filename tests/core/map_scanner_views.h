#pragma once
// The cut rule the map's line rules are written in, as the fuzz oracle states them.
#include <string>
#include <string_view>

#include "map/xml_lib.h"

namespace wqt::xml {

// Cuts text at the first occurrence of c: mode 2 keeps what follows c, any other mode what
// comes before it. "ERROR" when c is absent.
inline std::string cut(std::string_view text, char c, int mode) {
  const std::size_t i = text.find(c);
  if (i == std::string_view::npos) return std::string(kNotFound);
  return std::string(mode == 2 ? text.substr(i + 1) : text.substr(0, i));
}

}  // namespace wqt::xml
