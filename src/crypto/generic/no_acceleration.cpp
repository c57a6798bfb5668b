// Built on processors without a kernel set of their own: nothing is offered, so the portable
// code runs. The kernels are unreachable because CpuHas...() answers false.
#include <cstdlib>

#include "crypto/accelerated_kernels.h"

namespace qm::crypto::detail {

bool CpuHasAes() {
  return false;
}
bool CpuHasSha() {
  return false;
}
bool CpuHasVaes() {
  return false;
}

void AesHwEncryptBlock(const std::uint8_t*, int, std::uint8_t*) {
  std::abort();
}
void AesHwDecryptBlock(const std::uint8_t*, int, std::uint8_t*) {
  std::abort();
}
void AesHwCtrBlocks(const std::uint8_t*, int, std::uint64_t&, std::uint64_t, const std::uint8_t*,
                    std::uint8_t*, std::size_t) {
  std::abort();
}
void Sha1HwCompress(std::uint32_t*, const std::uint8_t*, std::size_t) {
  std::abort();
}
void Sha1HwHmacIterate(const std::uint32_t*, const std::uint32_t*, std::uint8_t*, std::uint8_t*,
                       int, int) {
  std::abort();
}

}  // namespace qm::crypto::detail
