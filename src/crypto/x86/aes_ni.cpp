#include <immintrin.h>

#include <cstring>

#include "crypto/accelerated_kernels.h"

// Only the functions below are compiled for AES-NI (and, for the wide counter-mode kernel,
// VAES with AVX2); the rest of the library stays baseline x86-64 and reaches them after a
// run-time CPUID check.
#define QM_AES_TARGET __attribute__((target("aes,sse4.1,ssse3")))
#define QM_VAES_TARGET __attribute__((target("vaes,avx2,aes,sse4.1,ssse3")))

namespace qm::crypto::detail {
namespace {

QM_AES_TARGET inline __m128i LoadKey(const std::uint8_t* round_keys, int index) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(round_keys + 16 * index));
}

// The counter lives in the low 64-bit lane, so a 64-bit add increments it and drops the carry
// out of byte 7, exactly as the mode requires; the high lane never changes.
template <int Rounds>
QM_AES_TARGET void CtrBlocksAesNi(const std::uint8_t* round_keys, std::uint64_t& counter,
                                  std::uint64_t high, const std::uint8_t* in, std::uint8_t* out,
                                  std::size_t blocks) {
  __m128i rk[Rounds + 1];
#pragma GCC unroll 15
  for (int r = 0; r <= Rounds; ++r) rk[r] = LoadKey(round_keys, r);
  const __m128i one = _mm_set_epi64x(0, 1);
  __m128i ctr = _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(counter));

  constexpr std::size_t kLanes = 8;  // independent blocks keep the AES unit busy
  for (; blocks >= kLanes; blocks -= kLanes, in += 16 * kLanes, out += 16 * kLanes) {
    __m128i s[kLanes];
#pragma GCC unroll 8
    for (std::size_t i = 0; i < kLanes; ++i) {
      ctr = _mm_add_epi64(ctr, one);
      s[i] = _mm_xor_si128(ctr, rk[0]);
    }
#pragma GCC unroll 14
    for (int r = 1; r < Rounds; ++r) {
#pragma GCC unroll 8
      for (std::size_t i = 0; i < kLanes; ++i) s[i] = _mm_aesenc_si128(s[i], rk[r]);
    }
#pragma GCC unroll 8
    for (std::size_t i = 0; i < kLanes; ++i) {
      s[i] = _mm_aesenclast_si128(s[i], rk[Rounds]);
      const __m128i data = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * i));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * i), _mm_xor_si128(data, s[i]));
    }
  }
  for (; blocks > 0; --blocks, in += 16, out += 16) {
    ctr = _mm_add_epi64(ctr, one);
    __m128i s = _mm_xor_si128(ctr, rk[0]);
#pragma GCC unroll 14
    for (int r = 1; r < Rounds; ++r) s = _mm_aesenc_si128(s, rk[r]);
    s = _mm_aesenclast_si128(s, rk[Rounds]);
    const __m128i data = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_xor_si128(data, s));
  }
  counter = static_cast<std::uint64_t>(_mm_cvtsi128_si64(ctr));
}

// Two blocks per instruction: 16 blocks per round of the loop.
template <int Rounds>
QM_VAES_TARGET void CtrBlocksVaes(const std::uint8_t* round_keys, std::uint64_t& counter,
                                  std::uint64_t high, const std::uint8_t* in, std::uint8_t* out,
                                  std::size_t blocks) {
  constexpr std::size_t kLanes = 8;  // 256-bit registers, two blocks each
  if (blocks >= 2 * kLanes) {
    __m256i rk[Rounds + 1];
#pragma GCC unroll 15
    for (int r = 0; r <= Rounds; ++r) {
      rk[r] = _mm256_broadcastsi128_si256(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(round_keys + 16 * r)));
    }
    const auto h = static_cast<long long>(high);
    const auto c = static_cast<long long>(counter);
    // Lanes hold counter + 1 and counter + 2; each step adds 2 to both.
    __m256i ctr = _mm256_set_epi64x(h, c + 2, h, c + 1);
    const __m256i two = _mm256_set_epi64x(0, 2, 0, 2);
    for (; blocks >= 2 * kLanes; blocks -= 2 * kLanes, in += 32 * kLanes, out += 32 * kLanes) {
      __m256i s[kLanes];
#pragma GCC unroll 8
      for (std::size_t i = 0; i < kLanes; ++i) {
        s[i] = _mm256_xor_si256(ctr, rk[0]);
        ctr = _mm256_add_epi64(ctr, two);
      }
#pragma GCC unroll 14
      for (int r = 1; r < Rounds; ++r) {
#pragma GCC unroll 8
        for (std::size_t i = 0; i < kLanes; ++i) s[i] = _mm256_aesenc_epi128(s[i], rk[r]);
      }
#pragma GCC unroll 8
      for (std::size_t i = 0; i < kLanes; ++i) {
        s[i] = _mm256_aesenclast_epi128(s[i], rk[Rounds]);
        const __m256i data = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 32 * i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32 * i), _mm256_xor_si256(data, s[i]));
      }
    }
    // The low lane holds the next unused value + 1.
    counter = static_cast<std::uint64_t>(_mm256_extract_epi64(ctr, 0)) - 1;
    _mm256_zeroupper();
  }
  CtrBlocksAesNi<Rounds>(round_keys, counter, high, in, out, blocks);
}

bool HasVaes() {
  static const bool has = CpuHasVaes();
  return has;
}

}  // namespace

QM_AES_TARGET void AesHwEncryptBlock(const std::uint8_t* round_keys, int rounds,
                                     std::uint8_t* block) {
  __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
  s = _mm_xor_si128(s, LoadKey(round_keys, 0));
  for (int r = 1; r < rounds; ++r) s = _mm_aesenc_si128(s, LoadKey(round_keys, r));
  s = _mm_aesenclast_si128(s, LoadKey(round_keys, rounds));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(block), s);
}

QM_AES_TARGET void AesHwDecryptBlock(const std::uint8_t* round_keys, int rounds,
                                     std::uint8_t* block) {
  __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
  s = _mm_xor_si128(s, LoadKey(round_keys, rounds));
  for (int r = rounds - 1; r > 0; --r) s = _mm_aesdec_si128(s, LoadKey(round_keys, r));
  s = _mm_aesdeclast_si128(s, LoadKey(round_keys, 0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(block), s);
}

void AesHwCtrBlocks(const std::uint8_t* round_keys, int rounds, std::uint64_t& counter,
                    std::uint64_t high, const std::uint8_t* in, std::uint8_t* out,
                    std::size_t blocks) {
  const bool wide = HasVaes();
  switch (rounds) {
    case 10:
      return wide ? CtrBlocksVaes<10>(round_keys, counter, high, in, out, blocks)
                  : CtrBlocksAesNi<10>(round_keys, counter, high, in, out, blocks);
    case 12:
      return wide ? CtrBlocksVaes<12>(round_keys, counter, high, in, out, blocks)
                  : CtrBlocksAesNi<12>(round_keys, counter, high, in, out, blocks);
    default:
      return wide ? CtrBlocksVaes<14>(round_keys, counter, high, in, out, blocks)
                  : CtrBlocksAesNi<14>(round_keys, counter, high, in, out, blocks);
  }
}

}  // namespace qm::crypto::detail
