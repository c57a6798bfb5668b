#include "archive/data/crc32.h"

#include <zlib.h>

namespace qm::archive {

// zlib's crc32 inverts on the way in and out; undoing both gives the plain register update,
// with zlib's fast table walk.
std::uint32_t UpdateCrc32(std::uint32_t crc, const void* buffer, std::int32_t length) {
  if (buffer == nullptr || length <= 0) return crc;
  return ~static_cast<std::uint32_t>(::crc32(~crc & 0xFFFFFFFFUL,
                                             static_cast<const Bytef*>(buffer),
                                             static_cast<uInt>(length)));
}

}  // namespace qm::archive
