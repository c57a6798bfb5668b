#include "archive/data/inflate_stage.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "archive/data/coding_errors.h"
#include "archive/data/fast_decoding.h"

namespace qm::archive {
namespace {

constexpr std::int64_t kOutputChunk = 0x100000;

// The one-call inflater's output buffer, kept for the next item and never filled with zeros.
// It is lent to one item at a time: an item decoded meanwhile from an event handler (an
// extraction nested in a progress event) gets a buffer of its own instead of overwriting it.
struct KeptBuffer {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size = 0;
};
thread_local KeptBuffer kept_whole_output;

class LentWholeOutput {
 public:
  explicit LentWholeOutput(std::size_t size) : lent_(std::exchange(kept_whole_output, {})) {
    if (lent_.size < size) {
      lent_.bytes.reset();
      lent_.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(size);
      lent_.size = size;
    }
  }
  ~LentWholeOutput() {
    if (lent_.size >= kept_whole_output.size) kept_whole_output = std::move(lent_);
  }
  LentWholeOutput(const LentWholeOutput&) = delete;
  LentWholeOutput& operator=(const LentWholeOutput&) = delete;

  std::span<std::uint8_t> First(std::size_t size) { return std::span(lent_.bytes.get(), size); }

 private:
  KeptBuffer lent_;
};

}  // namespace

InflateStage::InflateStage(ItemSink& next, ItemDataEvents& events, std::int64_t progress_total,
                           std::int64_t input_size, const InflatedAhead* ahead)
    : next_(next),
      events_(events),
      progress_total_(progress_total),
      input_size_(input_size),
      ahead_(ahead) {
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
  if (!taken) lent.emplace(static_cast<std::size_t>(room));
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
  if (bool passed = false; InflatedWhole(data, passed)) return passed;
  stream_.next_in = data.data();
  stream_.avail_in = static_cast<uInt>(data.size());
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

}  // namespace qm::archive
