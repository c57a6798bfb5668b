#pragma once

#include <cstdint>
#include <span>

#include "archive/data/item_sink.h"

namespace qm::archive {

// Passes on no more than an item's recorded size. One byte past it is accepted and dropped,
// so that the byte stops the path: an item longer than its record is damaged.
class LengthLimit final : public ItemSink {
 public:
  LengthLimit(ItemSink& next, std::int64_t limit) : next_(next), limit_(limit) {}

  bool Write(std::span<std::uint8_t> data) override {
    auto n = static_cast<std::int64_t>(data.size());
    if (produced_ + n > limit_) {
      n = limit_ - produced_;
      overflowed_ = true;
    }
    if (n > 0) {
      if (!next_.Write(data.first(static_cast<std::size_t>(n)))) return false;
      produced_ += n;
    }
    return !overflowed_;
  }
  std::int64_t Room() const override {
    const std::int64_t own = limit_ - produced_ + 1;
    return own < next_.Room() ? own : next_.Room();
  }

  // Bytes passed on so far.
  std::int64_t Produced() const { return produced_; }

 private:
  ItemSink& next_;
  std::int64_t limit_;
  std::int64_t produced_ = 0;
  bool overflowed_ = false;
};

}  // namespace qm::archive
