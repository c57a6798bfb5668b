#include "platform/dos_time.h"

namespace qm::platform {

std::uint32_t PackDosDateTime(const DosDateTime& v) {
  const std::uint32_t date = ((v.year - 1980) << 9) | (v.month << 5) | v.day;
  const std::uint32_t time = (v.hour << 11) | (v.minute << 5) | (v.second / 2);
  return (date << 16) | time;
}

DosDateTime UnpackDosDateTime(std::uint32_t packed) {
  DosDateTime v;
  const std::uint32_t date = packed >> 16;
  const std::uint32_t time = packed & 0xFFFF;
  v.year = 1980 + static_cast<int>(date >> 9);
  v.month = static_cast<int>((date >> 5) & 0x0F);
  v.day = static_cast<int>(date & 0x1F);
  v.hour = static_cast<int>(time >> 11);
  v.minute = static_cast<int>((time >> 5) & 0x3F);
  v.second = static_cast<int>((time & 0x1F) * 2);
  return v;
}

}  // namespace qm::platform
