#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <span>

namespace qm::archive {

// The CRC-32 of everything passed through it, in order.
class CrcStage {
 public:
  void Add(std::span<const std::uint8_t> bytes) {
    // zlib takes a 32-bit length; chunks are far smaller, but a caller's span may not be.
    constexpr std::size_t kStep = 0x40000000;
    for (std::size_t at = 0; at < bytes.size(); at += kStep) {
      const std::size_t n = std::min(kStep, bytes.size() - at);
      crc_ = ::crc32(crc_, bytes.data() + at, static_cast<uInt>(n));
    }
  }
  // The CRC of the bytes so far (0 for none).
  std::uint32_t Value() const { return static_cast<std::uint32_t>(crc_); }

 private:
  uLong crc_ = 0;
};

}  // namespace qm::archive
