#pragma once

#include <cstdint>

#include "archive/archive_types.h"

namespace qm::archive {

// Names one volume of a multi-volume archive: the first, the last, or a numbered one. Numbers
// count from 0; -1 means unknown.
class VolumeNumberInfo {
 public:
  VolumeNumberInfo() { Init(); }

  void Init();
  bool IsEqualTo(const VolumeNumberInfo& other) const;

  VolumeNumberKind VolumeKind() const { return volume_kind_; }
  bool FirstVolume() const { return volume_number_ == 0; }
  // Writing false changes nothing.
  void SetFirstVolume(bool value);
  bool LastVolume() const;
  // Writing false changes nothing.
  void SetLastVolume(bool value);
  std::int32_t VolumeNumber() const { return volume_number_; }
  void SetVolumeNumber(std::int32_t value);
  std::int32_t LastVolumeNumber() const { return last_volume_number_; }
  void SetLastVolumeNumber(std::int32_t value) { last_volume_number_ = value; }

 private:
  VolumeNumberKind volume_kind_ = VolumeNumberKind::vnkUnknown;
  std::int32_t volume_number_ = -1;
  std::int32_t last_volume_number_ = -1;
};

}  // namespace qm::archive
