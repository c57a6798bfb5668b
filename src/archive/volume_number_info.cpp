#include "archive/volume_number_info.h"

namespace qm::archive {

void VolumeNumberInfo::Init() {
  volume_kind_ = VolumeNumberKind::vnkUnknown;
  volume_number_ = -1;
  last_volume_number_ = -1;
}

void VolumeNumberInfo::SetFirstVolume(bool value) {
  if (!value) return;
  volume_number_ = 0;
  volume_kind_ = VolumeNumberKind::vnkFirst;
}

bool VolumeNumberInfo::LastVolume() const {
  if (last_volume_number_ == -1) return volume_kind_ == VolumeNumberKind::vnkLast;
  return volume_number_ == last_volume_number_;
}

void VolumeNumberInfo::SetLastVolume(bool value) {
  if (!value) return;
  volume_number_ = last_volume_number_;
  volume_kind_ = VolumeNumberKind::vnkLast;
}

void VolumeNumberInfo::SetVolumeNumber(std::int32_t value) {
  volume_kind_ = VolumeNumberKind::vnkCustom;
  volume_number_ = value;
}

bool VolumeNumberInfo::IsEqualTo(const VolumeNumberInfo& other) const {
  if (LastVolume()) return other.LastVolume();
  if (FirstVolume()) return other.FirstVolume();
  if (volume_number_ < 0) return volume_kind_ == other.volume_kind_;
  return volume_number_ == other.volume_number_;
}

}  // namespace qm::archive
