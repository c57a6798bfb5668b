#include "archive/data/read/inflate_stage.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "archive/data/codecs/fast_decoding.h"
#include "archive/data/codecs/lending_shelf.h"
#include "archive/data/coding_errors.h"
#include "archive/data/read/kept_buffer.h"

namespace qm::archive {
namespace {

constexpr std::int64_t kOutputChunk = 0x100000;
// What the faster step-by-step inflater has made and not yet passed on, at the least, until its
// stream ends. Where it reports damage that zlib reports earlier, it has made at most a few
// hundred bytes past zlib's end in nearly every case; zlib redoes those.
constexpr std::int64_t kHoldBack = 4096;

// The one-call inflater's output buffer, kept for the next item and never filled with zeros.
// It is lent to one item at a time: an item decoded meanwhile from an event handler (an
// extraction nested in a progress event) gets a buffer of its own instead of overwriting it,
// and the larger of the two is kept.
LendingShelf<KeptBuffer>& WholeOutputShelf() {
  static LendingShelf<KeptBuffer> shelf(1);
  return shelf;
}

class LentWholeOutput {
 public:
  LentWholeOutput() : lent_(WholeOutputShelf().Take()) {
    if (!lent_) lent_ = std::make_unique<KeptBuffer>();
  }
  ~LentWholeOutput() {
    LendingShelf<KeptBuffer>& shelf = WholeOutputShelf();
    std::unique_ptr<KeptBuffer> kept = shelf.Take();
    shelf.Put(kept && kept->Capacity() > lent_->Capacity() ? std::move(kept) : std::move(lent_));
  }
  LentWholeOutput(const LentWholeOutput&) = delete;
  LentWholeOutput& operator=(const LentWholeOutput&) = delete;

  std::span<std::uint8_t> First(std::size_t size) { return lent_->First(size); }

 private:
  std::unique_ptr<KeptBuffer> lent_;
};

}  // namespace

InflateStage::InflateStage(ItemSink& next, ItemDataEvents& events, std::int64_t progress_total,
                           std::int64_t input_size, DeflatedReread reread,
                           const InflatedAhead* ahead)
    : next_(next),
      events_(events),
      progress_total_(progress_total),
      input_size_(input_size),
      ahead_(ahead),
      reread_(std::move(reread)) {
  const int rc = inflateInit2(&stream_, -MAX_WBITS);
  if (rc != Z_OK) {
    throw DecompressionError("Cannot start inflating item data: zlib error " + std::to_string(rc));
  }
  output_.resize(static_cast<std::size_t>(std::min(kOutputChunk, next_.Room())));
}

InflateStage::~InflateStage() {
  inflateEnd(&stream_);
}

bool InflateStage::InflatedWhole(std::span<std::uint8_t> data, bool& passed) {
  const bool first_and_whole =
      stream_.total_in == 0 && static_cast<std::int64_t>(data.size()) == input_size_;
  // An item that may make more than the buffer holds goes step by step from the start: trying
  // it here would inflate up to the limit only to throw the work away.
  const std::int64_t room = next_.Room();
  if (!first_and_whole || room > kWholeOutputLimit) return false;
  const bool taken = ahead_ != nullptr && ahead_->room == room;
  std::optional<LentWholeOutput> lent;
  if (!taken) lent.emplace();
  const std::span<std::uint8_t> whole =
      taken ? ahead_->bytes : lent->First(static_cast<std::size_t>(room));
  const std::optional<std::size_t> size = taken ? whole.size() : InflateWhole(data, whole);
  if (!size) return false;
  // The steps the step-by-step inflater takes for the same stream: a progress event before
  // each, then as much as the room further down takes, up to the output chunk.
  const auto total = static_cast<std::int64_t>(*size);
  passed = false;
  for (;;) {
    if (!events_.Progress(produced_, progress_total_)) return true;
    const std::int64_t step = std::min(static_cast<std::int64_t>(output_.size()), next_.Room());
    const std::int64_t made = std::min(step, total - produced_);
    if (!next_.Write(
            whole.subspan(static_cast<std::size_t>(produced_), static_cast<std::size_t>(made)))) {
      return true;
    }
    produced_ += made;
    if (produced_ == total) break;
    if (made == 0) return true;
  }
  ended_ = true;
  passed = true;
  return true;
}

bool InflateStage::Write(std::span<std::uint8_t> data) {
  if (fast_) return InflateFast(data);
  if (bool passed = false; InflatedWhole(data, passed)) return passed;
  if (!chosen_) {
    chosen_ = true;
    // An item the one-call inflater has tried stays with zlib, like every item whose bytes
    // cannot be read again.
    const bool whole =
        static_cast<std::int64_t>(data.size()) == input_size_ && next_.Room() <= kWholeOutputLimit;
    if (reread_ && input_size_ >= 0 && !whole) fast_ = FastInflater::Make();
    if (fast_) return InflateFast(data);
  }
  stream_.next_in = data.data();
  stream_.avail_in = static_cast<uInt>(data.size());
  return InflateSteps();
}

bool InflateStage::InflateSteps() {
  for (;;) {
    if (!events_.Progress(produced_, progress_total_)) return false;
    const auto room =
        static_cast<uInt>(std::min(static_cast<std::int64_t>(output_.size()), next_.Room()));
    stream_.next_out = output_.data();
    stream_.avail_out = room;
    const int rc = inflate(&stream_, Z_NO_FLUSH);
    const uInt made = room - stream_.avail_out;
    if (!next_.Write(std::span(output_.data(), made))) return false;
    produced_ += made;
    if (rc == Z_STREAM_END) {
      ended_ = true;
      return true;
    }
    if (rc == Z_BUF_ERROR && stream_.avail_in == 0) return true;
    if (rc < 0) return false;
    if (stream_.avail_in == 0 && stream_.avail_out != 0) return true;
  }
}

// The steps zlib would take: a progress event, then as much as the room further down takes, up
// to the output chunk; the input is through once a step makes less than that.
bool InflateStage::InflateFast(std::span<std::uint8_t> data) {
  const auto chunk = static_cast<std::int64_t>(output_.size());
  if (staged_.empty()) staged_.resize(static_cast<std::size_t>(2 * chunk + kHoldBack));
  std::size_t used = 0;
  bool wants_input = false;
  for (;;) {
    const std::int64_t room = std::min(chunk, next_.Room());
    // No room at all: zlib's own answer.
    if (room == 0) return HandOverToZlib(data);
    while (!fast_ended_ && !wants_input && Staged() < room + kHoldBack) {
      if (staged_.size() - staged_end_ < output_.size()) {
        std::copy(staged_.begin() + static_cast<std::ptrdiff_t>(staged_begin_),
                  staged_.begin() + static_cast<std::ptrdiff_t>(staged_end_), staged_.begin());
        staged_end_ -= staged_begin_;
        staged_begin_ = 0;
      }
      std::size_t took = 0;
      std::size_t made = 0;
      const FastInflater::Status status =
          fast_->Inflate(data.subspan(used), std::span(staged_).subspan(staged_end_), took, made);
      used += took;
      staged_end_ += made;
      if (status == FastInflater::Status::kDamaged) return HandOverToZlib(data);
      fast_ended_ = status == FastInflater::Status::kEnded;
      wants_input = status == FastInflater::Status::kNeedsInput;
      // A stream cut short: zlib tells how much of the last symbols can be made out.
      if (wants_input && taken_ + static_cast<std::int64_t>(data.size()) >= input_size_) {
        return HandOverToZlib(data);
      }
    }
    const std::int64_t ready =
        fast_ended_ ? Staged() : std::max<std::int64_t>(0, Staged() - kHoldBack);
    if (!events_.Progress(produced_, progress_total_)) return false;
    const std::int64_t made = std::min(room, ready);
    if (!next_.Write(std::span(staged_).subspan(staged_begin_, static_cast<std::size_t>(made)))) {
      return false;
    }
    staged_begin_ += static_cast<std::size_t>(made);
    produced_ += made;
    if (fast_ended_ && Staged() == 0) {
      ended_ = true;
      return true;
    }
    if (made < room) break;
  }
  pieces_.push_back(data.size());
  taken_ += static_cast<std::int64_t>(data.size());
  return true;
}

// zlib goes over the item from its first byte, piece by piece as it came, throwing away what it
// makes up to what has been passed on already, then on step by step as if it had been alone.
bool InflateStage::HandOverToZlib(std::span<std::uint8_t> data) {
  fast_.reset();
  staged_ = {};
  std::int64_t skip = produced_;
  std::vector<std::uint8_t> again;
  std::int64_t offset = 0;
  for (const std::size_t size : pieces_) {
    again.resize(size);
    if (!reread_(offset, again)) return false;
    offset += static_cast<std::int64_t>(size);
    if (!Redo(again, skip)) return false;
    if (ended_) return true;
  }
  pieces_ = {};
  return Redo(data, skip);
}

bool InflateStage::Redo(std::span<std::uint8_t> piece, std::int64_t& skip) {
  stream_.next_in = piece.data();
  stream_.avail_in = static_cast<uInt>(piece.size());
  while (skip > 0) {
    const auto room = static_cast<uInt>(std::min(static_cast<std::int64_t>(output_.size()), skip));
    stream_.next_out = output_.data();
    stream_.avail_out = room;
    const int rc = inflate(&stream_, Z_NO_FLUSH);
    skip -= room - stream_.avail_out;
    if (rc == Z_STREAM_END && skip == 0) {
      ended_ = true;
      return true;
    }
    // zlib ends the data before what has been passed on: the faster inflater took damaged
    // data for sound a little further. It is damaged all the same.
    if (rc == Z_STREAM_END || (rc < 0 && rc != Z_BUF_ERROR)) return false;
    if (skip > 0 && stream_.avail_in == 0) return true;
  }
  return InflateSteps();
}

}  // namespace qm::archive
