#pragma once

#include <cstddef>
#include <cstdint>

namespace qm::platform {

// A seekable byte stream. Read and Write move as many bytes as they can and answer how many;
// ReadBuffer and WriteBuffer demand all of them and throw ReadError / WriteError otherwise.
class Stream {
 public:
  enum class Origin { kBegin, kCurrent, kEnd };

  virtual ~Stream() = default;
  Stream() = default;
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
  virtual std::int64_t Seek(std::int64_t offset, Origin origin) = 0;
  // Cuts or extends the stream; a position beyond the new end moves to it.
  virtual void SetSize(std::int64_t size) = 0;
  virtual std::int64_t Size();

  std::int64_t Position() { return Seek(0, Origin::kCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, Origin::kBegin); }

  void ReadBuffer(void* buffer, std::size_t count);
  void WriteBuffer(const void* buffer, std::size_t count);
  // Copies `count` bytes from the current position of `source` (all of it from position 0
  // when `count` is 0) and answers how many were copied.
  std::int64_t CopyFrom(Stream& source, std::int64_t count);

 protected:
  // Where a seek by `offset` from `origin` leads, for a stream at `position` of `size` bytes;
  // what to do with a place before the start is each stream's own choice.
  static std::int64_t SeekTarget(std::int64_t offset, Origin origin, std::int64_t position,
                                 std::int64_t size) {
    const std::int64_t base = origin == Origin::kBegin     ? 0
                              : origin == Origin::kCurrent ? position
                                                           : size;
    return base + offset;
  }
};

}  // namespace qm::platform
