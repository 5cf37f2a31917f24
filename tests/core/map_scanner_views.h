#pragma once
// The cut rule the map's line rules are written in, as the fuzz oracle states them.
#include <string>
#include <string_view>

#include "map/xml_lib.h"

namespace wqt::xml {

// Cuts text at the first occurrence of c. Modes: 1 from c to the end, 2 after c, 3 up to and
// including c, 4 before c; any other mode returns the text unchanged. "ERROR" when c is absent.
inline std::string cut(std::string_view text, char c, int mode) {
  const std::size_t i = text.find(c);
  if (i == std::string_view::npos) return std::string(kNotFound);
  switch (mode) {
    case 1:
      return std::string(text.substr(i));
    case 2:
      return std::string(text.substr(i + 1));
    case 3:
      return std::string(text.substr(0, i + 1));
    case 4:
      return std::string(text.substr(0, i));
    default:
      return std::string(text);
  }
}

}  // namespace wqt::xml
