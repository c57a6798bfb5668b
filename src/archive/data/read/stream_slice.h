#pragma once

#include <cstdint>
#include <memory>

#include "platform/stream.h"

namespace qm::archive {

// The bytes [start, start + length) of another stream, read as a stream of their own that
// begins at 0: one item's data among others in a shared file. Reads move the other stream's
// position; writing is refused (platform::WriteError).
class StreamSlice final : public platform::Stream {
 public:
  StreamSlice(std::shared_ptr<platform::Stream> whole, std::int64_t start, std::int64_t length)
      : whole_(std::move(whole)), start_(start), length_(length) {}

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, Origin origin) override;
  void SetSize(std::int64_t size) override;
  std::int64_t Size() override { return length_; }

 private:
  std::shared_ptr<platform::Stream> whole_;
  std::int64_t start_;
  std::int64_t length_;
  std::int64_t position_ = 0;
};

}  // namespace qm::archive
