#include "platform/platform.h"

namespace qm::platform {
namespace {
Platform* current = nullptr;
}

Platform& Platform::Current() { return current != nullptr ? *current : Native(); }

std::error_code Platform::FindLinkBelow(const std::u16string&, const std::u16string&) {
  return {};
}

ScopedPlatform::ScopedPlatform(Platform& replacement) : previous_(current) {
  current = &replacement;
}

ScopedPlatform::~ScopedPlatform() { current = previous_; }

}  // namespace qm::platform
