// Local-time half of the DOS date-time conversions, through the system's own time zone rules.
#include "platform/dos_time.h"
#include "platform/win32/windows_api.h"

namespace qm::platform {
namespace {

// 100-nanosecond intervals from 1601 to 1970.
constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000LL;
constexpr std::int64_t kTicksPerSecond = 10000000;

FILETIME ToFileTime(std::int64_t ticks) {
  FILETIME time{};
  time.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
  time.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32);
  return time;
}

std::int64_t FromFileTime(const FILETIME& time) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) |
                                   time.dwLowDateTime);
}

}  // namespace

std::uint32_t UnixTimeToDosDateTime(std::time_t time) {
  const std::int64_t ticks =
      static_cast<std::int64_t>(time) * kTicksPerSecond + kUnixEpochAsFileTime;
  if (ticks < 0) return PackDosDateTime({});
  const FILETIME utc = ToFileTime(ticks);
  FILETIME local{};
  SYSTEMTIME v{};
  if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToSystemTime(&local, &v)) {
    return PackDosDateTime({});
  }
  if (v.wYear < 1980) return PackDosDateTime({});
  if (v.wYear > 2107) return PackDosDateTime({2107, 12, 31, 23, 59, 58});
  return PackDosDateTime({v.wYear, v.wMonth, v.wDay, v.wHour, v.wMinute, v.wSecond});
}

std::optional<std::time_t> DosDateTimeToUnixTime(std::uint32_t packed) {
  const DosDateTime v = UnpackDosDateTime(packed);
  if (v.month < 1 || v.month > 12 || v.day < 1 || v.hour > 23 || v.minute > 59 || v.second > 59) {
    return std::nullopt;
  }
  SYSTEMTIME local{};
  local.wYear = static_cast<WORD>(v.year);
  local.wMonth = static_cast<WORD>(v.month);
  local.wDay = static_cast<WORD>(v.day);
  local.wHour = static_cast<WORD>(v.hour);
  local.wMinute = static_cast<WORD>(v.minute);
  local.wSecond = static_cast<WORD>(v.second);
  FILETIME local_time{}, utc{};
  // SystemTimeToFileTime refuses a day the month does not have.
  if (!::SystemTimeToFileTime(&local, &local_time) ||
      !::LocalFileTimeToFileTime(&local_time, &utc)) {
    return std::nullopt;
  }
  return static_cast<std::time_t>((FromFileTime(utc) - kUnixEpochAsFileTime) / kTicksPerSecond);
}

}  // namespace qm::platform
