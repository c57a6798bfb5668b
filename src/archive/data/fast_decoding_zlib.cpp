#include <zlib.h>

#include <algorithm>

#include "archive/data/fast_decoding.h"

namespace qm::archive {

// Built without libdeflate: zlib's CRC, and every item inflated step by step.
std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
  // zlib takes 32-bit lengths; chunks are far smaller, but a caller's span may not be.
  constexpr std::size_t kStep = 0x40000000;
  for (std::size_t at = 0; at < bytes.size(); at += kStep) {
    const std::size_t n = std::min(kStep, bytes.size() - at);
    crc = static_cast<std::uint32_t>(::crc32(crc, bytes.data() + at, static_cast<uInt>(n)));
  }
  return crc;
}

std::optional<std::size_t> InflateWhole(std::span<const std::uint8_t>, std::span<std::uint8_t>) {
  return std::nullopt;
}

bool WholeInflateBuiltIn() {
  return false;
}

}  // namespace qm::archive
