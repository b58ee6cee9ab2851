#pragma once

#include <functional>

#include "downloader/run_error.h"

namespace pat::test {

// The run-time error number an action raises, 0 when it raises none.
inline int error_of(const std::function<void()>& action) {
  try {
    action();
  } catch (const RunError& e) {
    return e.number;
  }
  return 0;
}

}  // namespace pat::test
