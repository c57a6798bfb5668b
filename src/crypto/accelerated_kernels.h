#pragma once

#include <cstddef>
#include <cstdint>

// Kernels that use processor instructions. CMake compiles one implementation of this header: the
// x86 one (run-time CPU detection, intrinsics enabled per function) or the generic one, which
// reports no support so the portable code always runs. Callers must check CpuHas...() first.
namespace qm::crypto::detail {

bool CpuHasAes();
bool CpuHasSha();
// The wide counter-mode kernel (VAES with AVX2, and the system saving the 256-bit registers).
bool CpuHasVaes();

// `round_keys` holds rounds + 1 round keys of 16 bytes in the FIPS-197 byte order. The decrypt
// kernel takes the equivalent-inverse-cipher schedule, stored in forward order.
void AesHwEncryptBlock(const std::uint8_t* round_keys, int rounds, std::uint8_t* block);
void AesHwDecryptBlock(const std::uint8_t* round_keys, int rounds, std::uint8_t* block);

// XORs `blocks` whole blocks of counter-mode keystream into in -> out (which may alias). The
// counter block is `counter` as 8 little-endian bytes followed by `high`'s 8 bytes in memory
// order; the counter is incremented (mod 2^64) before each block and left at the last value used.
void AesHwCtrBlocks(const std::uint8_t* round_keys, int rounds, std::uint64_t& counter,
                    std::uint64_t high, const std::uint8_t* in, std::uint8_t* out,
                    std::size_t blocks);

// SHA-1 compression of `blocks` consecutive 64-byte blocks.
void Sha1HwCompress(std::uint32_t state[5], const std::uint8_t* data, std::size_t blocks);

// PBKDF2-HMAC-SHA1 past its first iteration for `chains` output blocks: chain k's
// U(1) is the 20 bytes at u + 20k; runs U(2) to U(`iterations`), XORing each into the 20 bytes
// at t + 20k and leaving the last in u + 20k. `inner` and `outer` are the SHA-1 states after
// the key block XORed with the inner and outer pads.
void Sha1HwHmacIterate(const std::uint32_t inner[5], const std::uint32_t outer[5], std::uint8_t* u,
                       std::uint8_t* t, int chains, int iterations);

}  // namespace qm::crypto::detail
