#pragma once

#include <string>
#include <vector>

#include "platform/stream.h"

namespace qm::platform {

// A stream over a growable buffer in memory. Writing past the end grows it; seeking past the
// end is allowed and the gap fills with zeros on the next write.
class MemoryStream : public Stream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<unsigned char> data) : data_(std::move(data)) {}

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, Origin origin) override;
  void SetSize(std::int64_t size) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }

  const std::vector<unsigned char>& Data() const { return data_; }
  std::vector<unsigned char>& Data() { return data_; }
  std::string ToString() const { return {data_.begin(), data_.end()}; }

 private:
  std::vector<unsigned char> data_;
  std::size_t position_ = 0;
};

// Swallows what is written and reads as empty; keeps position and size as if it stored, so
// that an operation can run for its checks alone.
class NullStream : public Stream {
 public:
  std::size_t Read(void*, std::size_t) override { return 0; }
  std::size_t Write(const void*, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, Origin origin) override;
  void SetSize(std::int64_t size) override;
  std::int64_t Size() override { return size_; }

 private:
  std::int64_t position_ = 0;
  std::int64_t size_ = 0;
};

}  // namespace qm::platform
