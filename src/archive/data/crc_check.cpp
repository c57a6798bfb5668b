#include "archive/data/crc_check.h"

#include "archive/data/fast_decoding.h"

namespace qm::archive {

bool CrcCheck::Write(std::span<std::uint8_t> data) {
  if (!next_.Write(data)) return false;
  crc_ = Crc32(crc_, data);
  return true;
}

}  // namespace qm::archive
