#pragma once

#include <cstdint>

namespace qm::archive {

// How much of a source the encoder takes in one step, by compression mode (0 stored, 1 to 9
// the deflate level). Slower levels get larger steps: the per-step overhead (a read, progress,
// a write) is then a smaller share of the work. Memory per item stays bounded by one input
// chunk and its compressed form, whatever the source's size.
constexpr std::int64_t EncoderChunkSize(std::uint8_t mode) {
  if (mode >= 1 && mode <= 3) return 0x80000;
  if (mode >= 7 && mode <= 9) return 0x180000;
  return 0x100000;
}

}  // namespace qm::archive
