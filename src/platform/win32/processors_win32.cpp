#include <bit>
#include <cstdint>
#include <thread>

#include "platform/processors.h"
#include "platform/win32/windows_api.h"

namespace qm::platform {

int UsableProcessors() {
  DWORD_PTR process_mask = 0;
  DWORD_PTR system_mask = 0;
  // The standard library's count ignores the affinity mask (start /affinity, a job object).
  if (::GetProcessAffinityMask(::GetCurrentProcess(), &process_mask, &system_mask) &&
      process_mask != 0) {
    return std::popcount(static_cast<std::uint64_t>(process_mask));
  }
  const unsigned machine = std::thread::hardware_concurrency();
  return machine > 0 ? static_cast<int>(machine) : 1;
}

}  // namespace qm::platform
