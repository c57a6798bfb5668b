// Where a sequence's choices come from: a seeded generator for the test run and the campaign,
// the fuzzer's bytes for the fuzz target. Every choice goes through Below(), so one seed or one
// input always replays the same sequence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace qm::archive::model {

class Draw {
 public:
  virtual ~Draw() = default;
  // A number in [0, bound); 0 when bound is 0.
  virtual std::uint32_t Below(std::uint32_t bound) = 0;

  bool OneIn(std::uint32_t n) { return Below(n) == 0; }
  template <typename T>
  const T& Pick(const std::vector<T>& from) {
    return from[Below(static_cast<std::uint32_t>(from.size()))];
  }
};

class SeededDraw final : public Draw {
 public:
  explicit SeededDraw(std::uint64_t seed) : random_(seed) {}
  std::uint32_t Below(std::uint32_t bound) override {
    if (bound == 0) return 0;
    return static_cast<std::uint32_t>(random_() % bound);
  }

 private:
  std::mt19937_64 random_;
};

// Takes its choices from a byte string; once the bytes run out every choice is 0, which the
// generator reads as "end the sequence".
class ByteDraw final : public Draw {
 public:
  ByteDraw(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint32_t Below(std::uint32_t bound) override {
    if (bound <= 1) return 0;
    std::uint32_t value = 0;
    for (std::uint32_t span = bound - 1; span != 0; span >>= 8) {
      value = (value << 8) | (at_ < size_ ? data_[at_++] : 0);
    }
    return value % bound;
  }
  bool Exhausted() const { return at_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace qm::archive::model
