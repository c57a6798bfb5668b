#include "archive/data/read/stream_slice.h"

#include <algorithm>

#include "platform/stream_errors.h"

namespace qm::archive {

std::size_t StreamSlice::Read(void* buffer, std::size_t count) {
  const std::int64_t left = std::max<std::int64_t>(length_ - position_, 0);
  const auto want = static_cast<std::size_t>(std::min<std::int64_t>(left, count));
  if (want == 0) return 0;
  whole_->SetPosition(start_ + position_);
  const std::size_t got = whole_->Read(buffer, want);
  position_ += static_cast<std::int64_t>(got);
  return got;
}

std::size_t StreamSlice::Write(const void*, std::size_t) {
  throw platform::WriteError("A slice of a stream is read only");
}

std::int64_t StreamSlice::Seek(std::int64_t offset, Origin origin) {
  position_ = std::max<std::int64_t>(SeekTarget(offset, origin, position_, length_), 0);
  return position_;
}

void StreamSlice::SetSize(std::int64_t) {
  throw platform::WriteError("A slice of a stream is read only");
}

}  // namespace qm::archive
