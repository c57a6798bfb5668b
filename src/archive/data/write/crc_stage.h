#pragma once

#include <cstdint>
#include <span>

namespace qm::archive {

// The CRC-32 of everything passed through it, in order (the writing side's counterpart of
// CrcCheck).
class CrcStage {
 public:
  CrcStage() = default;
  // Carries on from the CRC of bytes passed before.
  explicit CrcStage(std::uint32_t crc) : crc_(crc) {}
  void Add(std::span<const std::uint8_t> bytes);
  // The CRC of the bytes so far (0 for none).
  std::uint32_t Value() const { return crc_; }

 private:
  std::uint32_t crc_ = 0;
};

}  // namespace qm::archive
