#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "archive/data/read/kept_buffer.h"
#include "platform/stream.h"

namespace qm::archive {

// A stretch of the archive read in one go, and a read-only stream over it at the archive's own
// offsets: the records of several small items come in one read, and each is then decoded from
// memory as it would be from the archive. Reads outside the stretch come up empty.
class ArchiveWindow final : public platform::Stream {
 public:
  // Reads [start, start + length) of `archive`, which is left after the bytes read. Keeps what
  // came when the archive ends early; a read error (platform::ReadError) leaves the window empty.
  void Fill(platform::Stream& archive, std::int64_t start, std::int64_t length);
  void Clear() { size_ = 0; }

  bool Holds(std::int64_t begin, std::int64_t end) const {
    return begin >= start_ && begin <= end && end <= start_ + size_;
  }
  // The bytes of [begin, begin + length), which the window holds.
  std::span<const std::uint8_t> Bytes(std::int64_t begin, std::int64_t length) const {
    return std::span<const std::uint8_t>(bytes_.Data() + (begin - start_),
                                         static_cast<std::size_t>(length));
  }

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;  // WriteError: read-only
  std::int64_t Seek(std::int64_t offset, Origin origin) override;
  void SetSize(std::int64_t size) override;  // WriteError: read-only
  std::int64_t Size() override { return start_ + size_; }

 private:
  // Kept from fill to fill, and never filled with zeros.
  KeptBuffer bytes_;
  std::int64_t start_ = 0;
  std::int64_t size_ = 0;
  std::int64_t position_ = 0;
};

}  // namespace qm::archive
