#include "archive/data/inflate_stage.h"

#include <algorithm>
#include <string>

#include "archive/data/coding_errors.h"

namespace qm::archive {
namespace {

constexpr std::int64_t kOutputChunk = 0x100000;

}  // namespace

InflateStage::InflateStage(ItemSink& next, ItemDataEvents& events, std::int64_t progress_total)
    : next_(next), events_(events), progress_total_(progress_total) {
  const int rc = inflateInit2(&stream_, -MAX_WBITS);
  if (rc != Z_OK) {
    throw DecompressionError("Cannot start inflating item data: zlib error " + std::to_string(rc));
  }
  output_.resize(static_cast<std::size_t>(std::min(kOutputChunk, next_.Room())));
}

InflateStage::~InflateStage() {
  inflateEnd(&stream_);
}

bool InflateStage::Write(std::span<std::uint8_t> data) {
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
