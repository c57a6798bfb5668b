#pragma once

#include <functional>

#include "archive/archive_error.h"

namespace qm::archive::testing {

// The native error number of the ArchiveError that `f` throws; -1 when it throws none.
inline int NativeErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ArchiveError& e) {
    return e.NativeError();
  }
  return -1;
}

}  // namespace qm::archive::testing
