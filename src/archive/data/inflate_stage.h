#pragma once

#include <zlib.h>

#include <cstdint>
#include <span>
#include <vector>

#include "archive/data/item_data_events.h"
#include "archive/data/item_sink.h"

namespace qm::archive {

// Inflates an item's deflated data (raw deflate: stored items carry neither zlib's header nor
// its Adler-32 trailer) and passes what it makes on. Progress is told before every inflate
// step, as the bytes made so far of `progress_total`.
class InflateStage final : public ItemSink {
 public:
  // DecompressionError when zlib cannot start a stream.
  InflateStage(ItemSink& next, ItemDataEvents& events, std::int64_t progress_total);
  ~InflateStage() override;
  InflateStage(const InflateStage&) = delete;
  InflateStage& operator=(const InflateStage&) = delete;

  // False for damaged data (what was inflated before it has been passed on: a caller that
  // keeps damaged files keeps that much), a cancel, or a stop further down.
  bool Write(std::span<std::uint8_t> data) override;
  bool Ended() const override { return ended_; }

 private:
  ItemSink& next_;
  ItemDataEvents& events_;
  std::int64_t progress_total_;
  z_stream stream_{};
  std::vector<std::uint8_t> output_;
  std::int64_t produced_ = 0;
  bool ended_ = false;
};

}  // namespace qm::archive
