#include "archive/volumes/volume_chain.h"

#include <algorithm>
#include <stdexcept>

#include "platform/stream_errors.h"

namespace qm::archive {

VolumeChain::VolumeChain(Opener open, std::int32_t first, std::int32_t last)
    : open_(std::move(open)), first_(first), last_(std::max(first, last)) {}

void VolumeChain::Rebase(std::int32_t first) {
  if (first == first_) return;
  if (first > first_ && first - first_ < static_cast<std::int32_t>(sizes_.size())) {
    sizes_.erase(sizes_.begin(), sizes_.begin() + (first - first_));
  } else {
    sizes_.clear();
  }
  first_ = first;
  last_ = std::max(first_, last_);
  position_ = 0;
}

platform::Stream& VolumeChain::Open(std::int32_t volume) {
  if (volume != open_volume_ || stream_ == nullptr) {
    // Forgotten first: should opening fail, nothing points at a stream that may be gone.
    stream_ = nullptr;
    open_volume_ = -1;
    platform::Stream& stream = open_(volume);
    stream_ = &stream;
    open_volume_ = volume;
  }
  const auto index = static_cast<std::size_t>(volume - first_);
  const std::int64_t size = stream_->Size();
  if (index == sizes_.size()) {
    sizes_.push_back(size);
  } else if (index < sizes_.size()) {
    sizes_[index] = size;
  }
  return *stream_;
}

bool VolumeChain::Locate(std::int64_t position, std::int32_t& volume, std::int64_t& offset) {
  std::int64_t base = 0;
  for (std::int32_t v = first_; v <= last_; ++v) {
    const auto index = static_cast<std::size_t>(v - first_);
    if (index == sizes_.size()) Open(v);
    const std::int64_t size = sizes_[index];
    if (position < base + size) {
      volume = v;
      offset = position - base;
      return true;
    }
    base += size;
  }
  return false;
}

std::size_t VolumeChain::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    std::int32_t volume = 0;
    std::int64_t offset = 0;
    if (!Locate(position_, volume, offset)) break;
    platform::Stream& stream = Open(volume);
    const std::int64_t left = sizes_[static_cast<std::size_t>(volume - first_)] - offset;
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(left, count - done));
    stream.SetPosition(offset);
    const std::size_t got = stream.Read(out + done, want);
    done += got;
    position_ += static_cast<std::int64_t>(got);
    if (got < want) break;  // the volume is shorter than it was a moment ago
  }
  return done;
}

std::size_t VolumeChain::Write(const void*, std::size_t) {
  return 0;
}

std::int64_t VolumeChain::Seek(std::int64_t offset, Origin origin) {
  position_ = std::max<std::int64_t>(SeekTarget(offset, origin, position_, Size()), 0);
  return position_;
}

void VolumeChain::SetSize(std::int64_t) {
  throw platform::WriteError("A volume set is read only here");
}

std::int64_t VolumeChain::Size() {
  std::int64_t total = 0;
  for (std::int32_t v = first_; v <= last_; ++v) {
    const auto index = static_cast<std::size_t>(v - first_);
    if (index == sizes_.size()) Open(v);
    total += sizes_[index];
  }
  return total;
}

}  // namespace qm::archive
