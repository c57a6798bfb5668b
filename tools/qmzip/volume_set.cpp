#include "volume_set.h"

#include "archive/volumes/volume_names.h"
#include "platform/file_attributes.h"
#include "platform/platform.h"

namespace qm::qmzip {

std::u16string ArchiveOfVolume(const std::u16string& path) {
  const std::u16string last = archive::LastVolumeNameOf(path);
  if (last.empty()) return path;
  const auto attributes = platform::Platform::Current().GetAttributes(last);
  if (attributes == platform::attr::kInvalid || (attributes & platform::attr::kDirectory) != 0)
    return path;
  return last;
}

}  // namespace qm::qmzip
