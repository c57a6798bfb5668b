#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

#include "archive/data/crc32.h"

namespace qm::archive {

// The CRC-32 of everything passed through it, in order.
class CrcStage {
 public:
  void Add(std::span<const std::uint8_t> bytes) {
    // UpdateCrc32 takes a 32-bit length; chunks are far smaller, but a caller's span may not be.
    constexpr std::size_t kStep = 0x40000000;
    for (std::size_t at = 0; at < bytes.size(); at += kStep) {
      const std::size_t n = std::min(kStep, bytes.size() - at);
      register_ = UpdateCrc32(register_, bytes.data() + at, static_cast<std::int32_t>(n));
    }
  }
  // The CRC of the bytes so far (0 for none).
  std::uint32_t Value() const { return ~register_; }

 private:
  std::uint32_t register_ = 0xFFFFFFFF;
};

}  // namespace qm::archive
