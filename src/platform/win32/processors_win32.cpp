#include "platform/processors.h"

namespace qm::platform {

int UsableProcessors() {
  // The Windows build keeps its work on one thread for now: under Wine the mingw build's
  // compression worker faulted now and then inside the worker thread (a wild pointer), while
  // the same code runs clean under the sanitizers on Linux. Until that is understood no second
  // thread is started here. (The affinity-mask count is in this file's history.)
  return 1;
}

}  // namespace qm::platform
