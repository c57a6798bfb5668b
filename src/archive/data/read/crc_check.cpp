#include "archive/data/read/crc_check.h"

#include "archive/data/codecs/fast_decoding.h"

namespace qm::archive {

bool CrcCheck::Write(std::span<std::uint8_t> data) {
  if (!next_.Write(data)) return false;
  if (ahead_ != nullptr) {
    const std::span<std::uint8_t> rest = ahead_->bytes.subspan(ahead_passed_);
    if (data.data() == rest.data() && data.size() <= rest.size()) {
      ahead_passed_ += data.size();
      return true;
    }
    // Other bytes: from here on the CRC is computed as they pass.
    crc_ = Crc32(0, ahead_->bytes.first(ahead_passed_));
    ahead_ = nullptr;
  }
  crc_ = Crc32(crc_, data);
  return true;
}

std::uint32_t CrcCheck::Crc() const {
  if (ahead_ == nullptr) return crc_;
  if (ahead_passed_ == ahead_->bytes.size()) return ahead_->crc;
  return Crc32(0, ahead_->bytes.first(ahead_passed_));
}

}  // namespace qm::archive
