#include <sched.h>

#include <thread>

#include "platform/processors.h"

namespace qm::platform {

int UsableProcessors() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  // The standard library's count ignores the affinity mask; a process pinned to one processor
  // would start threads that only take turns with it.
  if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
    const int count = CPU_COUNT(&allowed);
    if (count > 0) return count;
  }
  const unsigned machine = std::thread::hardware_concurrency();
  return machine > 0 ? static_cast<int>(machine) : 1;
}

}  // namespace qm::platform
