#include "support/file_owner.h"

#include <unistd.h>

namespace qm::testing {

bool CanGiveFilesAway() {
  return ::geteuid() == 0;
}

bool GiveFileAway(const std::filesystem::path& path, std::uint32_t user, std::uint32_t group) {
  return ::lchown(path.c_str(), user, group) == 0;
}

}  // namespace qm::testing
