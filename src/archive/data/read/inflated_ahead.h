#pragma once

#include <cstdint>
#include <span>

namespace qm::archive {

// An item's deflated data inflated ahead of its turn, on another thread, by the one-call
// inflater (fast_decoding.h) into an output buffer of `room` bytes: what the inflater stage
// would make of the same bytes with the same room, and its CRC-32.
struct InflatedAhead {
  std::span<std::uint8_t> bytes;
  std::int64_t room = 0;
  std::uint32_t crc = 0;
};

}  // namespace qm::archive
