#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/stream.h"

namespace qm::archive {

// The first writing stage: a source stream read from its start in chunks of a fixed size.
// The size is taken once, when the reader is made; a source that turns out shorter ends early
// (Next answers an empty chunk), one that grew is read only up to the size taken.
class SourceReader {
 public:
  SourceReader(platform::Stream& source, std::int64_t chunk_size);

  std::int64_t Size() const { return size_; }
  std::int64_t Consumed() const { return consumed_; }
  bool AtEnd() const { return consumed_ >= size_; }
  // Whether the chunk Next answers now would be the source's last one.
  bool NextIsLast() const { return size_ - consumed_ <= chunk_size_; }

  // The next chunk (at most the chunk size); empty at the end or when the source gave fewer
  // bytes than asked, which also ends the reading. Valid until the next call.
  std::span<std::uint8_t> Next();
  // Takes `count` bytes of the last chunk back off the consumed count (they were not written).
  void GiveBack(std::int64_t count) { consumed_ -= count; }
  // Back to the start of the source, for a second pass.
  void Rewind();

 private:
  platform::Stream& source_;
  std::int64_t size_;
  std::int64_t chunk_size_;
  std::int64_t consumed_ = 0;
  bool short_read_ = false;
  std::vector<std::uint8_t> buffer_;
};

}  // namespace qm::archive
