#include "app/first_run_unpacking.h"

#include "app/client_paths.h"
#include "platform/file_attributes.h"
#include "platform/platform.h"

namespace qm::app {

void UnpackClientOnFirstRun() {
  const ClientPaths paths = ClientPaths::Locate();
  // A folder, or nothing at all (every bit set): unpacked already, or not installed.
  if (platform::Platform::Current().GetAttributes(paths.client_archive) &
      platform::attr::kDirectory) {
    return;
  }
  // Unpacking a packed client comes with the archive engine's extraction.
}

}  // namespace qm::app
