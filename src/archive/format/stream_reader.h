#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/stream.h"

namespace qm::archive {

// Sequential reads through a window buffer, so that walking a directory of many thousand small
// records costs a few large reads instead of several per record. Every read checks first that
// the stream holds the bytes asked for and throws platform::ReadError when it does not, so a
// length taken from a file never drives an allocation or copy past the end.
class StreamReader {
 public:
  static constexpr std::size_t kDefaultWindow = 1 << 16;

  StreamReader(platform::Stream& stream, std::int64_t position,
               std::size_t window = kDefaultWindow);

  std::int64_t Position() const { return position_; }
  std::int64_t Size() const { return size_; }
  std::int64_t Remaining() const { return size_ - position_; }

  void Read(void* buffer, std::size_t count);
  // Replaces `out` by the next `count` bytes, reusing its storage.
  void ReadInto(std::string& out, std::size_t count);
  void ReadInto(std::vector<std::uint8_t>& out, std::size_t count);

 private:
  void Require(std::size_t count) const;
  void Fill();

  platform::Stream& stream_;
  std::int64_t size_;
  std::int64_t position_;
  std::vector<std::uint8_t> window_;
  std::int64_t window_start_ = 0;
  std::size_t window_length_ = 0;
};

// Reads exactly `count` bytes at `offset`; false when the stream does not hold them.
bool ReadAt(platform::Stream& stream, std::int64_t offset, void* buffer, std::size_t count);

// Finds a record signature (its four little-endian bytes) going forward through the stream in
// windows of `window` bytes that overlap, so that nothing of the stream is held at once. The
// last window is kept: a scan that walks from one record to the next reads each byte once.
class SignatureScanner {
 public:
  SignatureScanner(platform::Stream& stream, std::uint32_t signature, std::size_t window,
                   std::int64_t min_tail = 4);

  // The first occurrence at or after `from` with at least `min_tail` bytes of the stream from
  // its start; -1 when there is none.
  std::int64_t Find(std::int64_t from);

 private:
  platform::Stream& stream_;
  std::uint8_t pattern_[4];
  std::int64_t size_;
  std::int64_t min_tail_;
  std::vector<std::uint8_t> buffer_;
  std::int64_t buffer_start_ = -1;
  std::size_t buffer_length_ = 0;
};

}  // namespace qm::archive
