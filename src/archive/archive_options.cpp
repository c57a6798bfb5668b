#include "archive/archive_options.h"

#include <algorithm>

namespace qm::archive {

void SpanningOptions::SetCustomVolumeSize(std::int64_t value) {
  custom_volume_size_ = std::max(value, kMinCustomVolumeSize);
}

std::int64_t SpanningOptions::GetVolumeSize(const VolumeNumberInfo& volume) const {
  if (volume.FirstVolume() && first_volume_size_ > 0) return first_volume_size_;
  switch (volume_size_) {
    case VolumeSize::vsAutoDetect:
      return -1;
    case VolumeSize::vsCustom:
      return custom_volume_size_;
    case VolumeSize::vs1_44MB:
      return 1457664;
    case VolumeSize::vs100MB:
      return 104857600;
    case VolumeSize::vs200MB:
      return 209715200;
    case VolumeSize::vs250MB:
      return 262144000;
    case VolumeSize::vs600MB:
      return 629145600;
    case VolumeSize::vs650MB:
      return 681574400;
    case VolumeSize::vs700MB:
      return 734003200;
    case VolumeSize::vs4700MB:
      return 4928307200LL;
  }
  return -1;
}

}  // namespace qm::archive
