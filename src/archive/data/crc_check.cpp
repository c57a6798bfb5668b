#include "archive/data/crc_check.h"

#include <zlib.h>

namespace qm::archive {

bool CrcCheck::Write(std::span<std::uint8_t> data) {
  if (!next_.Write(data)) return false;
  crc_ = static_cast<std::uint32_t>(::crc32(crc_, data.data(), static_cast<uInt>(data.size())));
  return true;
}

}  // namespace qm::archive
