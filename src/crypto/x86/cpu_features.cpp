#include <cpuid.h>

#include "crypto/accelerated_kernels.h"

namespace qm::crypto::detail {
namespace {

struct CpuidBits {
  unsigned ecx1 = 0;  // leaf 1
  unsigned ebx7 = 0;  // leaf 7, sub-leaf 0
};

CpuidBits ReadCpuid() {
  CpuidBits bits;
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d)) bits.ecx1 = c;
  if (__get_cpuid_count(7, 0, &a, &b, &c, &d)) bits.ebx7 = b;
  return bits;
}

constexpr unsigned kSsse3 = 1u << 9;
constexpr unsigned kSse41 = 1u << 19;
constexpr unsigned kAesNi = 1u << 25;
constexpr unsigned kShaNi = 1u << 29;

}  // namespace

// The kernels also shuffle and insert with SSSE3 / SSE4.1, so those are required alongside.
bool CpuHasAes() {
  const auto bits = ReadCpuid();
  return (bits.ecx1 & kAesNi) && (bits.ecx1 & kSse41) && (bits.ecx1 & kSsse3);
}

bool CpuHasSha() {
  const auto bits = ReadCpuid();
  return (bits.ebx7 & kShaNi) && (bits.ecx1 & kSse41) && (bits.ecx1 & kSsse3);
}

}  // namespace qm::crypto::detail
