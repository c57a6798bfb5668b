#pragma once

#include <mutex>

namespace qm::platform {

// The one process-wide re-entrant lock that archive operations hold while they walk items or
// gather files, so that two components never interleave their work on shared files.
std::recursive_mutex& ArchiveLock();

}  // namespace qm::platform
