#include "platform/platform.h"

#include <ctime>

#include "platform/dos_time.h"

namespace qm::platform {
namespace {
Platform* current = nullptr;
}

std::error_code Platform::SetLastWriteUnixTime(const std::u16string& path, std::int64_t time) {
  return SetLastWriteDosTime(path, UnixTimeToDosDateTime(static_cast<std::time_t>(time)));
}

std::error_code Platform::SetUnixPermissions(const std::u16string&, std::uint32_t) { return {}; }

Platform& Platform::Current() { return current != nullptr ? *current : Native(); }

std::error_code Platform::FindLinkBelow(const std::u16string&, const std::u16string&) {
  return {};
}

ScopedPlatform::ScopedPlatform(Platform& replacement) : previous_(current) {
  current = &replacement;
}

ScopedPlatform::~ScopedPlatform() { current = previous_; }

}  // namespace qm::platform
