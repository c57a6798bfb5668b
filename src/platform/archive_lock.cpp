#include "platform/archive_lock.h"

namespace qm::platform {

std::recursive_mutex& ArchiveLock() {
  static std::recursive_mutex lock;
  return lock;
}

}  // namespace qm::platform
