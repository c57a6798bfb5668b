#include "crypto/acceleration.h"

#include <atomic>

#include "crypto/accelerated_kernels.h"

namespace qm::crypto {
namespace {

std::atomic<bool> g_enabled{true};

bool CpuAes() {
  static const bool has = detail::CpuHasAes();
  return has;
}

bool CpuSha() {
  static const bool has = detail::CpuHasSha();
  return has;
}

}  // namespace

void SetHardwareAcceleration(bool enabled) {
  g_enabled.store(enabled, std::memory_order_relaxed);
}

bool HardwareAccelerationEnabled() {
  return g_enabled.load(std::memory_order_relaxed);
}

bool AesInstructionsInUse() {
  return HardwareAccelerationEnabled() && CpuAes();
}

bool ShaInstructionsInUse() {
  return HardwareAccelerationEnabled() && CpuSha();
}

}  // namespace qm::crypto
