#pragma once

#include <cstdint>
#include <span>

#include "archive/data/item_sink.h"

namespace qm::archive {

// Keeps the CRC-32 of the bytes that pass, for the check against the item's record at the end
// (or, for AES items, for the decipher's own check).
class CrcCheck final : public ItemSink {
 public:
  explicit CrcCheck(ItemSink& next) : next_(next) {}

  bool Write(std::span<std::uint8_t> data) override;
  std::int64_t Room() const override { return next_.Room(); }

  // The CRC-32 of every byte passed so far (the final value, complemented).
  std::uint32_t Crc() const { return crc_; }
  bool Matches(std::uint32_t recorded) const { return crc_ == recorded; }

 private:
  ItemSink& next_;
  std::uint32_t crc_ = 0;
};

}  // namespace qm::archive
