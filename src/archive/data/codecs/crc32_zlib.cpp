#include <zlib.h>

#include <algorithm>

#include "archive/data/codecs/fast_decoding.h"

namespace qm::archive {

// Built with neither ISA-L nor libdeflate: zlib's own.
std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
  // zlib takes 32-bit lengths; chunks are far smaller, but a caller's span may not be.
  constexpr std::size_t kStep = 0x40000000;
  for (std::size_t at = 0; at < bytes.size(); at += kStep) {
    const std::size_t n = std::min(kStep, bytes.size() - at);
    crc = static_cast<std::uint32_t>(::crc32(crc, bytes.data() + at, static_cast<uInt>(n)));
  }
  return crc;
}

}  // namespace qm::archive
