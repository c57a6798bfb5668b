#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/acceleration.h"

namespace qm::crypto::testing {

inline std::vector<std::uint8_t> Hex(std::string_view hex) {
  std::vector<std::uint8_t> out;
  int high = -1;
  for (char c : hex) {
    int v;
    if (c >= '0' && c <= '9')
      v = c - '0';
    else if (c >= 'a' && c <= 'f')
      v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      v = c - 'A' + 10;
    else
      continue;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(high << 4 | v));
      high = -1;
    }
  }
  return out;
}

inline std::string ToHex(const std::uint8_t* data, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string s;
  for (std::size_t i = 0; i < size; ++i) {
    s += kDigits[data[i] >> 4];
    s += kDigits[data[i] & 15];
  }
  return s;
}

inline std::string ToHex(const std::vector<std::uint8_t>& v) {
  return ToHex(v.data(), v.size());
}

inline std::vector<std::uint8_t> Bytes(std::string_view s) {
  return {s.begin(), s.end()};
}

// Deterministic filler so failures reproduce.
inline std::vector<std::uint8_t> Pattern(std::size_t n, std::uint32_t seed = 1) {
  std::vector<std::uint8_t> v(n);
  for (auto& b : v) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(seed >> 16);
  }
  return v;
}

// A path in the test temporary folder that no other run (another preset, another user) picks.
inline std::filesystem::path UniqueTempPath(const std::string& stem) {
  std::random_device random;
  return std::filesystem::path(::testing::TempDir()) /
         (stem + "_" + std::to_string(random()) + std::to_string(random()));
}

// Runs a test once with the processor instructions (where the machine has them) and once with
// the portable code; the parameter says which.
class BothPaths : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { SetHardwareAcceleration(GetParam()); }
  void TearDown() override { SetHardwareAcceleration(true); }
};

inline std::string PathName(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "Accelerated" : "Portable";
}

}  // namespace qm::crypto::testing
