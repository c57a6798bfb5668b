#include <immintrin.h>

#include <cstring>

#include "crypto/accelerated_kernels.h"

// Only the functions below are compiled for AES-NI; the rest of the library stays baseline
// x86-64 and reaches them after a run-time CPUID check.
#define QM_AES_TARGET __attribute__((target("aes,sse4.1,ssse3")))

namespace qm::crypto::detail {
namespace {

QM_AES_TARGET inline __m128i LoadKey(const std::uint8_t* round_keys, int index) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(round_keys + 16 * index));
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

QM_AES_TARGET void AesHwCtrBlocks(const std::uint8_t* round_keys, int rounds,
                                  std::uint64_t& counter, std::uint64_t high,
                                  const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
  __m128i rk[15];
  for (int r = 0; r <= rounds; ++r) rk[r] = LoadKey(round_keys, r);
  const auto high_bits = static_cast<long long>(high);
  std::uint64_t ctr = counter;

  // Eight independent blocks keep the AES unit's pipeline full.
  constexpr std::size_t kLanes = 8;
  while (blocks >= kLanes) {
    __m128i s[kLanes];
    for (std::size_t i = 0; i < kLanes; ++i) {
      s[i] = _mm_xor_si128(_mm_set_epi64x(high_bits, static_cast<long long>(++ctr)), rk[0]);
    }
    for (int r = 1; r < rounds; ++r) {
      for (std::size_t i = 0; i < kLanes; ++i) s[i] = _mm_aesenc_si128(s[i], rk[r]);
    }
    for (std::size_t i = 0; i < kLanes; ++i) {
      s[i] = _mm_aesenclast_si128(s[i], rk[rounds]);
      const __m128i data = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * i));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * i), _mm_xor_si128(data, s[i]));
    }
    in += 16 * kLanes;
    out += 16 * kLanes;
    blocks -= kLanes;
  }
  for (; blocks > 0; --blocks) {
    __m128i s = _mm_xor_si128(_mm_set_epi64x(high_bits, static_cast<long long>(++ctr)), rk[0]);
    for (int r = 1; r < rounds; ++r) s = _mm_aesenc_si128(s, rk[r]);
    s = _mm_aesenclast_si128(s, rk[rounds]);
    const __m128i data = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_xor_si128(data, s));
    in += 16;
    out += 16;
  }
  counter = ctr;
}

}  // namespace qm::crypto::detail
