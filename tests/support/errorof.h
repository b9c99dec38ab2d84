// The number of the error a call raises; 0 when it raises none.
#pragma once

#include <functional>

#include "base/error.h"

namespace jex::testing {

inline int errorOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const jex::Error& e) {
    return e.number();
  }
  return 0;
}

}  // namespace jex::testing
