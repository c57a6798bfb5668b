#pragma once

#include <utility>

namespace qm::archive {

// Sets a value for the length of a scope and puts the old one back on every way out.
template <typename T>
class ScopedValue {
 public:
  ScopedValue(T& target, T value) : target_(target), saved_(std::move(target)) {
    target_ = std::move(value);
  }
  ~ScopedValue() { target_ = std::move(saved_); }
  ScopedValue(const ScopedValue&) = delete;
  ScopedValue& operator=(const ScopedValue&) = delete;

 private:
  T& target_;
  T saved_;
};

}  // namespace qm::archive
