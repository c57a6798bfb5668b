#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/stream.h"

namespace qm::archive::testing {

// Reads zeros for as long as it says: a source of any size without the memory or the disk.
class ZeroStream : public platform::Stream {
 public:
  explicit ZeroStream(std::int64_t size) : size_(size) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const auto n = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(count), size_ - position_));
    std::memset(buffer, 0, n);
    position_ += static_cast<std::int64_t>(n);
    return n;
  }
  std::size_t Write(const void*, std::size_t) override { return 0; }
  std::int64_t Seek(std::int64_t offset, Origin origin) override {
    position_ = (origin == Origin::kBegin ? 0
                 : origin == Origin::kEnd ? size_
                                          : position_) +
                offset;
    return position_;
  }
  void SetSize(std::int64_t) override {}
  std::int64_t Size() override { return size_; }

 private:
  std::int64_t size_;
  std::int64_t position_ = 0;
};

}  // namespace qm::archive::testing
