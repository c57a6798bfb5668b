#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace qm::archive {

// Little-endian reader over a fixed span. A read that would run past the end yields zeros and
// sets the error flag, which then stays set: callers read every field of a record and check
// ok() once, instead of testing each read.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}
  ByteReader(const void* data, std::size_t size)
      : data_(static_cast<const std::uint8_t*>(data), size) {}

  bool ok() const { return ok_; }
  std::size_t offset() const { return offset_; }
  std::size_t remaining() const { return ok_ ? data_.size() - offset_ : 0; }

  std::uint8_t U8() { return static_cast<std::uint8_t>(Take(1)); }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Take(2)); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(Take(4)); }
  std::uint64_t U64() { return Take(8); }

  // Copies `count` bytes out; an empty result and the error flag when fewer remain.
  std::string Bytes(std::size_t count) {
    if (!Has(count)) return {};
    std::string out(reinterpret_cast<const char*>(data_.data() + offset_), count);
    offset_ += count;
    return out;
  }
  // A view of the next `count` bytes, valid as long as the underlying data.
  std::span<const std::uint8_t> View(std::size_t count) {
    if (!Has(count)) return {};
    auto out = data_.subspan(offset_, count);
    offset_ += count;
    return out;
  }
  void Skip(std::size_t count) {
    if (Has(count)) offset_ += count;
  }

 private:
  bool Has(std::size_t count) {
    if (ok_ && data_.size() - offset_ >= count) return true;
    ok_ = false;
    return false;
  }
  std::uint64_t Take(std::size_t count) {
    if (!Has(count)) return 0;
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i) {
      value |= static_cast<std::uint64_t>(data_[offset_ + i]) << (8 * i);
    }
    offset_ += count;
    return value;
  }

  std::span<const std::uint8_t> data_;
  std::size_t offset_ = 0;
  bool ok_ = true;
};

// Little-endian writer appending to a byte vector.
class ByteWriter {
 public:
  explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  void U8(std::uint8_t v) { out_.push_back(v); }
  void U16(std::uint16_t v) { Put(v, 2); }
  void U32(std::uint32_t v) { Put(v, 4); }
  void U64(std::uint64_t v) { Put(v, 8); }
  void Bytes(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    out_.insert(out_.end(), p, p + size);
  }
  void Bytes(const std::string& s) { Bytes(s.data(), s.size()); }

 private:
  void Put(std::uint64_t v, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) out_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  std::vector<std::uint8_t>& out_;
};

}  // namespace qm::archive
