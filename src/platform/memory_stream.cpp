#include "platform/memory_stream.h"

#include <algorithm>
#include <cstring>

#include "platform/stream_errors.h"

namespace qm::platform {
namespace {

std::int64_t RefuseNegative(std::int64_t target) {
  if (target < 0) throw ReadError("Stream seek error: negative position");
  return target;
}

}  // namespace

std::size_t MemoryStream::Read(void* buffer, std::size_t count) {
  if (position_ >= data_.size()) return 0;
  const std::size_t n = std::min(count, data_.size() - position_);
  std::memcpy(buffer, data_.data() + position_, n);
  position_ += n;
  return n;
}

std::size_t MemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  if (position_ + count > data_.size()) data_.resize(position_ + count);
  std::memcpy(data_.data() + position_, buffer, count);
  position_ += count;
  return count;
}

std::int64_t MemoryStream::Seek(std::int64_t offset, Origin origin) {
  position_ = static_cast<std::size_t>(
      RefuseNegative(SeekTarget(offset, origin, static_cast<std::int64_t>(position_),
                                static_cast<std::int64_t>(data_.size()))));
  return static_cast<std::int64_t>(position_);
}

void MemoryStream::SetSize(std::int64_t size) {
  data_.resize(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)));
  position_ = std::min(position_, data_.size());
}

std::size_t NullStream::Write(const void*, std::size_t count) {
  position_ += static_cast<std::int64_t>(count);
  size_ = std::max(size_, position_);
  return count;
}

std::int64_t NullStream::Seek(std::int64_t offset, Origin origin) {
  position_ = RefuseNegative(SeekTarget(offset, origin, position_, size_));
  return position_;
}

void NullStream::SetSize(std::int64_t size) {
  size_ = std::max<std::int64_t>(size, 0);
  position_ = std::min(position_, size_);
}

}  // namespace qm::platform
