#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

namespace qm::platform {

// MS-DOS date-times as archives store them: the date in the high 16 bits (year since 1980 in
// bits 9-15, month 1-12 in 5-8, day 1-31 in 0-4), the time in the low 16 (hours in 11-15,
// minutes in 5-10, seconds / 2 in 0-4), in local time with two-second resolution.
struct DosDateTime {
  int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

std::uint32_t PackDosDateTime(const DosDateTime& value);
DosDateTime UnpackDosDateTime(std::uint32_t packed);

// Local time conversions. Times before 1980 clamp to 1980-01-01 00:00:00 and after 2107 to the
// last representable moment; odd seconds round down. nullopt for a packed value that names no
// real moment (month 0, day 31 of April, ...).
std::uint32_t UnixTimeToDosDateTime(std::time_t time);
std::optional<std::time_t> DosDateTimeToUnixTime(std::uint32_t packed);

}  // namespace qm::platform
