#pragma once

#include <cstdint>
#include <span>

#include "archive/data/item_sink.h"
#include "archive/data/read/inflated_ahead.h"

namespace qm::archive {

// Keeps the CRC-32 of the bytes that pass, for the check against the item's record at the end
// (or, for AES items, for the decipher's own check).
class CrcCheck final : public ItemSink {
 public:
  // `ahead`: the item inflated ahead of time, CRC included. While the bytes that pass are
  // those very bytes, in order, their CRC is not computed again here.
  explicit CrcCheck(ItemSink& next, const InflatedAhead* ahead = nullptr)
      : next_(next), ahead_(ahead) {}

  bool Write(std::span<std::uint8_t> data) override;
  std::int64_t Room() const override { return next_.Room(); }

  // The CRC-32 of every byte passed so far (the final value, complemented).
  std::uint32_t Crc() const;
  bool Matches(std::uint32_t recorded) const { return Crc() == recorded; }

 private:
  ItemSink& next_;
  std::uint32_t crc_ = 0;
  // Set while every byte passed so far is the start of the ahead-of-time bytes.
  const InflatedAhead* ahead_;
  std::size_t ahead_passed_ = 0;
};

}  // namespace qm::archive
