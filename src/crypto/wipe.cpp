#include "crypto/wipe.h"

#include "platform/clock_seed.h"

namespace qm::crypto {

void SecureWipe(std::span<std::uint8_t> bytes) {
  volatile std::uint8_t* p = bytes.data();
  for (std::size_t i = 0; i < bytes.size(); ++i) p[i] = 0;
}

void ScrambleWithClock(std::span<std::uint8_t> bytes) {
  auto state = static_cast<std::uint32_t>(platform::ClockSeed());
  for (auto& b : bytes) {
    state = (state + b) * 134775813u + 1u;
    b = static_cast<std::uint8_t>(state >> 24);
  }
}

}  // namespace qm::crypto
