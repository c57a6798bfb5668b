#include "platform/clock_seed.h"

#include <chrono>

namespace qm::platform {

std::uint64_t ClockSeed() {
  const auto wall = std::chrono::system_clock::now().time_since_epoch().count();
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  // splitmix64 finaliser so that close clock readings give unrelated seeds.
  std::uint64_t z = static_cast<std::uint64_t>(wall) ^ (static_cast<std::uint64_t>(ticks) << 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace qm::platform
