#include <cpuid.h>

#include "crypto/accelerated_kernels.h"

namespace qm::crypto::detail {
namespace {

struct CpuidBits {
  unsigned ecx1 = 0;  // leaf 1
  unsigned ebx7 = 0;  // leaf 7, sub-leaf 0
  unsigned ecx7 = 0;
};

CpuidBits ReadCpuid() {
  CpuidBits bits;
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d)) bits.ecx1 = c;
  if (__get_cpuid_count(7, 0, &a, &b, &c, &d)) {
    bits.ebx7 = b;
    bits.ecx7 = c;
  }
  return bits;
}

// The 256-bit registers are usable only when the system saves them on a switch (XCR0 bits 1
// and 2); xgetbv itself exists only when OSXSAVE says so.
bool OsSavesYmm(const CpuidBits& bits) {
  constexpr unsigned kOsXsave = 1u << 27;
  if ((bits.ecx1 & kOsXsave) == 0) return false;
  unsigned low = 0, high = 0;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (low & 0x6u) == 0x6u;
}

constexpr unsigned kSsse3 = 1u << 9;
constexpr unsigned kSse41 = 1u << 19;
constexpr unsigned kAesNi = 1u << 25;
constexpr unsigned kShaNi = 1u << 29;
constexpr unsigned kAvx2 = 1u << 5;  // leaf 7 ebx
constexpr unsigned kVaes = 1u << 9;  // leaf 7 ecx

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

// Read with CPUID rather than the compiler's feature query, which older clang does not know for
// VAES.
bool CpuHasVaes() {
  const auto bits = ReadCpuid();
  return (bits.ebx7 & kAvx2) && (bits.ecx7 & kVaes) && OsSavesYmm(bits) && CpuHasAes();
}

}  // namespace qm::crypto::detail
