#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace qm::archive {

// Bytes that are always written before they are read, kept from one use to the next: grown
// when a use needs more, never filled with zeros (a many-megabyte buffer per item would cost
// more in page clearing than the work it serves).
class KeptBuffer {
 public:
  // The first `size` bytes, growing the buffer first when it is smaller; earlier contents are
  // lost when it grows.
  std::span<std::uint8_t> First(std::size_t size) {
    if (capacity_ < size) {
      bytes_.reset();
      bytes_ = std::make_unique_for_overwrite<std::uint8_t[]>(size);
      capacity_ = size;
    }
    return std::span(bytes_.get(), size);
  }
  std::uint8_t* Data() const { return bytes_.get(); }
  std::size_t Capacity() const { return capacity_; }

 private:
  std::unique_ptr<std::uint8_t[]> bytes_;
  std::size_t capacity_ = 0;
};

}  // namespace qm::archive
