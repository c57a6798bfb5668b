#include <libdeflate.h>

#include "archive/data/codecs/fast_decoding.h"

namespace qm::archive {

std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
  return libdeflate_crc32(crc, bytes.data(), bytes.size());
}

}  // namespace qm::archive
