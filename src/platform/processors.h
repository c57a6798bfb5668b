#pragma once

namespace qm::platform {

// The processors this process may run on: the machine's, less those its affinity mask keeps it
// off (taskset, a container's CPU set). At least 1. Work is spread over a second thread only
// when this says there is a second processor to run it.
int UsableProcessors();

}  // namespace qm::platform
