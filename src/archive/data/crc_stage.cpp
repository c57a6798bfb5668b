#include "archive/data/crc_stage.h"

#include <zlib.h>

#include <algorithm>

namespace qm::archive {

void CrcStage::Add(std::span<const std::uint8_t> bytes) {
  // zlib takes 32-bit lengths; chunks are far smaller, but a caller's span may not be.
  constexpr std::size_t kStep = 0x40000000;
  for (std::size_t at = 0; at < bytes.size(); at += kStep) {
    const std::size_t n = std::min(kStep, bytes.size() - at);
    crc_ = static_cast<std::uint32_t>(::crc32(crc_, bytes.data() + at, static_cast<uInt>(n)));
  }
}

}  // namespace qm::archive
