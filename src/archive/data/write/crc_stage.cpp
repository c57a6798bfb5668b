#include "archive/data/write/crc_stage.h"

#include "archive/data/codecs/fast_decoding.h"

namespace qm::archive {

void CrcStage::Add(std::span<const std::uint8_t> bytes) {
  crc_ = Crc32(crc_, bytes);
}

}  // namespace qm::archive
