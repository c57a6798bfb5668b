#include "platform/platform.h"

namespace qm::platform {
namespace {
Platform* current = nullptr;
}

Platform& Platform::Current() { return current != nullptr ? *current : Native(); }

ScopedPlatform::ScopedPlatform(Platform& replacement) : previous_(current) {
  current = &replacement;
}

ScopedPlatform::~ScopedPlatform() { current = previous_; }

}  // namespace qm::platform
