#pragma once

#include <zlib.h>

#include <cstdint>
#include <span>
#include <vector>

#include "archive/data/inflated_ahead.h"
#include "archive/data/item_data_events.h"
#include "archive/data/item_sink.h"

namespace qm::archive {

// Inflates an item's deflated data (raw deflate: stored items carry neither zlib's header nor
// its Adler-32 trailer) and passes what it makes on. Progress is told before every inflate
// step, as the bytes made so far of `progress_total`.
//
// An item whose deflated bytes all come in one Write and whose output fits a few MiB is
// inflated in one call by the faster one-call inflater, and passed on in the same pieces, with
// the same progress, as the step-by-step inflater would. When that inflater fails (damaged or
// truncated data, more output than the room further down), the step-by-step one starts over
// on the same input, so what is passed on before an error never depends on the path taken.
class InflateStage final : public ItemSink {
 public:
  // The most output inflated in one call: the buffer is kept per thread, so this bounds memory.
  static constexpr std::int64_t kWholeOutputLimit = 8 * 0x100000;

  // DecompressionError when zlib cannot start a stream. `input_size`: the item's deflated
  // size when known (-1: not known, always step by step). `ahead`: the same deflated bytes
  // already inflated in one call, taken instead of inflating them here when the room matches.
  InflateStage(ItemSink& next, ItemDataEvents& events, std::int64_t progress_total,
               std::int64_t input_size = -1, const InflatedAhead* ahead = nullptr);
  ~InflateStage() override;
  InflateStage(const InflateStage&) = delete;
  InflateStage& operator=(const InflateStage&) = delete;

  // False for damaged data (what was inflated before it has been passed on: a caller that
  // keeps damaged files keeps that much), a cancel, or a stop further down.
  bool Write(std::span<std::uint8_t> data) override;
  bool Ended() const override { return ended_; }

 private:
  // Answers whether the one-call inflater took `data`; `passed` is then Write's answer.
  bool InflatedWhole(std::span<std::uint8_t> data, bool& passed);

  ItemSink& next_;
  ItemDataEvents& events_;
  std::int64_t progress_total_;
  std::int64_t input_size_;
  const InflatedAhead* ahead_;
  z_stream stream_{};
  std::vector<std::uint8_t> output_;
  std::int64_t produced_ = 0;
  bool ended_ = false;
};

}  // namespace qm::archive
