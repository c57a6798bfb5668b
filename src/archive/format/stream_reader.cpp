#include "archive/format/stream_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/stream_errors.h"

namespace qm::archive {

using platform::Stream;

StreamReader::StreamReader(Stream& stream, std::int64_t position, std::size_t window)
    : stream_(stream), size_(stream.Size()), position_(position), window_(window) {
  if (position_ < 0 || position_ > size_) throw platform::ReadError();
}

void StreamReader::Require(std::size_t count) const {
  if (static_cast<std::uint64_t>(Remaining()) < count) throw platform::ReadError();
}

void StreamReader::Fill() {
  stream_.SetPosition(position_);
  const auto want = static_cast<std::size_t>(
      std::min<std::int64_t>(static_cast<std::int64_t>(window_.size()), Remaining()));
  window_length_ = stream_.Read(window_.data(), want);
  window_start_ = position_;
  if (window_length_ == 0) throw platform::ReadError();
}

void StreamReader::Read(void* buffer, std::size_t count) {
  Require(count);
  auto* out = static_cast<std::uint8_t*>(buffer);
  while (count > 0) {
    const std::int64_t in_window = position_ - window_start_;
    if (in_window < 0 || in_window >= static_cast<std::int64_t>(window_length_)) {
      if (count >= window_.size()) {  // large reads bypass the window
        stream_.SetPosition(position_);
        stream_.ReadBuffer(out, count);
        position_ += static_cast<std::int64_t>(count);
        return;
      }
      Fill();
      continue;
    }
    const std::size_t n = std::min(count, window_length_ - static_cast<std::size_t>(in_window));
    std::memcpy(out, window_.data() + in_window, n);
    out += n;
    count -= n;
    position_ += static_cast<std::int64_t>(n);
  }
}

void StreamReader::ReadInto(std::string& out, std::size_t count) {
  Require(count);
  out.resize(count);
  Read(out.data(), count);
}

void StreamReader::ReadInto(std::vector<std::uint8_t>& out, std::size_t count) {
  Require(count);
  out.resize(count);
  Read(out.data(), count);
}

bool ReadAt(Stream& stream, std::int64_t offset, void* buffer, std::size_t count) {
  if (offset < 0) return false;
  const std::int64_t size = stream.Size();
  if (offset > size || static_cast<std::uint64_t>(size - offset) < count) return false;
  stream.SetPosition(offset);
  return stream.Read(buffer, count) == count;
}

SignatureScanner::SignatureScanner(Stream& stream, std::uint32_t signature, std::size_t window,
                                   std::int64_t min_tail)
    : stream_(stream),
      pattern_{static_cast<std::uint8_t>(signature), static_cast<std::uint8_t>(signature >> 8),
               static_cast<std::uint8_t>(signature >> 16),
               static_cast<std::uint8_t>(signature >> 24)},
      size_(stream.Size()),
      min_tail_(std::max<std::int64_t>(min_tail, 4)),
      buffer_(std::max<std::size_t>(window, 8)) {}

std::int64_t SignatureScanner::Find(std::int64_t from) {
  std::int64_t pos = std::max<std::int64_t>(from, 0);
  while (pos <= size_ - min_tail_) {
    const bool cached = buffer_start_ >= 0 && pos >= buffer_start_ &&
                        pos + 4 <= buffer_start_ + static_cast<std::int64_t>(buffer_length_);
    if (!cached) {
      const auto want = static_cast<std::size_t>(
          std::min<std::int64_t>(static_cast<std::int64_t>(buffer_.size()), size_ - pos));
      stream_.SetPosition(pos);
      buffer_length_ = stream_.Read(buffer_.data(), want);
      buffer_start_ = pos;
      if (buffer_length_ < 4) return -1;
    }
    const auto begin = buffer_.begin() + (pos - buffer_start_);
    const auto end = buffer_.begin() + static_cast<std::ptrdiff_t>(buffer_length_);
    const auto it = std::search(begin, end, pattern_, pattern_ + 4);
    if (it != end) {
      const std::int64_t at = buffer_start_ + (it - buffer_.begin());
      // Candidates only get closer to the end from here, so one too near ends the scan.
      return size_ - at >= min_tail_ ? at : -1;
    }
    // Continue three bytes back, so that a signature across the seam is found.
    const std::int64_t next = buffer_start_ + static_cast<std::int64_t>(buffer_length_) - 3;
    if (next <= pos) return -1;
    pos = next;
    buffer_start_ = -1;
  }
  return -1;
}

}  // namespace qm::archive
