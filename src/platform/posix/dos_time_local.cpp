// Local-time half of the DOS date-time conversions: it needs the system's time zone rules.
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/dos_time.h"

namespace qm::platform {

std::uint32_t UnixTimeToDosDateTime(std::time_t time) {
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) return PackDosDateTime({});
  DosDateTime v{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour,        local.tm_min,     local.tm_sec > 59 ? 59 : local.tm_sec};
  if (v.year < 1980) return PackDosDateTime({});
  if (v.year > 2107) return PackDosDateTime({2107, 12, 31, 23, 59, 58});
  return PackDosDateTime(v);
}

namespace {

std::optional<std::time_t> ConvertedByMktime(std::uint32_t packed) {
  const DosDateTime v = UnpackDosDateTime(packed);
  if (v.month < 1 || v.month > 12 || v.day < 1 || v.hour > 23 || v.minute > 59 || v.second > 59) {
    return std::nullopt;
  }
  std::tm local{};
  local.tm_year = v.year - 1900;
  local.tm_mon = v.month - 1;
  local.tm_mday = v.day;
  local.tm_hour = v.hour;
  local.tm_min = v.minute;
  local.tm_sec = v.second;
  local.tm_isdst = -1;
  const std::time_t t = std::mktime(&local);
  // mktime normalises day 31 of a 30-day month into the next month: such a value names no day.
  if (t == static_cast<std::time_t>(-1) || local.tm_mday != v.day) return std::nullopt;
  return t;
}

}  // namespace

std::optional<std::time_t> DosDateTimeToUnixTime(std::uint32_t packed) {
  // mktime reads the zone file's status on every call (a stat per extracted file), and the
  // files of an archive mostly share a few times: the last answer is kept, for the same zone.
  struct Last {
    std::uint32_t packed = 0;
    std::optional<std::string> zone;  // TZ as it was, nullopt when unset
    std::optional<std::time_t> time;
    bool valid = false;
  };
  thread_local Last last;
  const char* variable = std::getenv("TZ");
  const std::optional<std::string> zone =
      variable == nullptr ? std::nullopt : std::optional<std::string>(variable);
  if (last.valid && last.packed == packed && last.zone == zone) return last.time;
  last = {packed, zone, ConvertedByMktime(packed), true};
  return last.time;
}

}  // namespace qm::platform
