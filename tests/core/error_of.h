#pragma once
// The message of the wqt::Error a call throws, or "(no error)" when it returns.
#include <functional>
#include <string>

#include "base/core_error.h"

namespace wqt::test {

inline std::string errorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const wqt::Error& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace wqt::test
