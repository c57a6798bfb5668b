#include "archive/writing/same_file.h"

#include "platform/platform.h"

namespace qm::archive {

bool SameFile(const std::u16string& a, const std::u16string& b) {
  platform::Platform& os = platform::Platform::Current();
  const auto status_a = os.GetFileStatus(a, true);
  const auto status_b = os.GetFileStatus(b, true);
  if (status_a && status_b) return status_a->SameFile(*status_b);
  return os.ExpandPath(a) == os.ExpandPath(b);
}

}  // namespace qm::archive
