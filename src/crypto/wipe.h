#pragma once

#include <cstdint>
#include <span>

namespace qm::crypto {

// Zeroes key material in a way the optimiser cannot drop.
void SecureWipe(std::span<std::uint8_t> bytes);

// Overwrites `bytes` with output of a small generator seeded from the clock. Each byte is mixed
// into the 32-bit state, which then steps as state * 134775813 + 1; the byte becomes the
// state's top byte. Good for scrambling state that is being discarded, never for keys.
void ScrambleWithClock(std::span<std::uint8_t> bytes);

}  // namespace qm::crypto
