#pragma once

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "archive/data/codecs/fast_inflater.h"
#include "archive/data/item_data_events.h"
#include "archive/data/item_sink.h"
#include "archive/data/read/inflated_ahead.h"

namespace qm::archive {

// Reads `into.size()` of an item's deflated bytes again, from `offset` (0: its first byte).
using DeflatedReread = std::function<bool(std::int64_t offset, std::span<std::uint8_t> into)>;

// Inflates an item's deflated data (raw deflate: stored items carry neither zlib's header nor
// its Adler-32 trailer) and passes what it makes on. Progress is told before every inflate
// step, as the bytes made so far of `progress_total`.
//
// An item whose deflated bytes all come in one Write and whose output fits a few MiB is
// inflated in one call by the faster one-call inflater, and passed on in the same pieces, with
// the same progress, as the step-by-step inflater would. When that inflater fails (damaged or
// truncated data, more output than the room further down), the step-by-step one starts over
// on the same input, so what is passed on before an error never depends on the path taken.
//
// Any other item goes step by step, by the faster step-by-step inflater where one is built in,
// the deflated size is known and the item's deflated bytes can be read again (`reread`), else
// by zlib. The faster one
// passes on the same bytes in steps of the same size, with a progress event before each, but
// its steps may end a few bytes apart from zlib's where an input piece ends. It checks the data
// less strictly, so what it makes is passed on only once it has gone on a little past it; when
// it reports damage, or the input ends before the stream does, zlib goes over the item again
// from the first byte, passes on nothing that has been passed on already, and goes on from
// there, so that damaged and truncated data end where zlib ends them.
class InflateStage final : public ItemSink {
 public:
  // The most output inflated in one call: the buffer is kept per thread, so this bounds memory.
  static constexpr std::int64_t kWholeOutputLimit = 8 * 0x100000;

  // DecompressionError when zlib cannot start a stream. `input_size`: the item's deflated
  // size when known (-1: not known, always step by step). `ahead`: the same deflated bytes
  // already inflated in one call, taken instead of inflating them here when the room matches.
  InflateStage(ItemSink& next, ItemDataEvents& events, std::int64_t progress_total,
               std::int64_t input_size = -1, DeflatedReread reread = {},
               const InflatedAhead* ahead = nullptr);
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
  // zlib's steps over what is left of the input it has been given.
  bool InflateSteps();
  bool InflateFast(std::span<std::uint8_t> data);
  std::int64_t Staged() const { return static_cast<std::int64_t>(staged_end_ - staged_begin_); }
  bool HandOverToZlib(std::span<std::uint8_t> data);
  bool Redo(std::span<std::uint8_t> piece, std::int64_t& skip);

  ItemSink& next_;
  ItemDataEvents& events_;
  std::int64_t progress_total_;
  std::int64_t input_size_;
  const InflatedAhead* ahead_;
  z_stream stream_{};
  std::vector<std::uint8_t> output_;
  std::int64_t produced_ = 0;
  bool ended_ = false;
  // The faster step-by-step inflater: what it has made and not passed on yet, and the sizes
  // of the pieces of input it has had before the current one (zlib redoes them piece by piece)
  // and their total.
  DeflatedReread reread_;
  bool chosen_ = false;
  std::unique_ptr<FastInflater> fast_;
  bool fast_ended_ = false;
  std::vector<std::uint8_t> staged_;
  std::size_t staged_begin_ = 0;
  std::size_t staged_end_ = 0;
  std::vector<std::size_t> pieces_;
  std::int64_t taken_ = 0;
};

}  // namespace qm::archive
