#include <immintrin.h>

#include <cstring>
#include <utility>

#include "crypto/accelerated_kernels.h"

// PBKDF2-HMAC-SHA1's iterations with the SHA extensions, the state never leaving the registers:
// a digest is already the next message's first five words in the order the instructions want
// them, so an iteration is two compressions and a few register moves. Several output blocks
// are independent chains; running them side by side keeps the SHA unit busy while one chain
// waits for its previous round.
namespace qm::crypto::detail {
namespace {

#define QM_SHA_TARGET __attribute__((target("sha,sse4.1,ssse3"), always_inline)) inline

// The state in the instructions' form: A..D in one register (A in the top lane), E in the top
// lane of another with the other lanes zero.
struct Lanes {
  __m128i abcd;
  __m128i e;
};

// One group of four rounds of the 80, for `N` chains at once. `e` alternates between two
// registers; the message schedule runs in `m` (four registers of four words per chain).
template <int G, int N>
QM_SHA_TARGET void Group(__m128i (&abcd)[N], __m128i (&e)[N][2], __m128i (&m)[N][4]) {
  constexpr int kCur = G % 2, kNext = (G + 1) % 2;
  for (int k = 0; k < N; ++k) {
    if constexpr (G == 0) {
      e[k][kCur] = _mm_add_epi32(e[k][kCur], m[k][0]);
    } else {
      e[k][kCur] = _mm_sha1nexte_epu32(e[k][kCur], m[k][G % 4]);
    }
    e[k][kNext] = abcd[k];
    if constexpr (G >= 3 && G <= 18) {
      m[k][(G + 1) % 4] = _mm_sha1msg2_epu32(m[k][(G + 1) % 4], m[k][G % 4]);
    }
    abcd[k] = _mm_sha1rnds4_epu32(abcd[k], e[k][kCur], G / 5);
    if constexpr (G >= 1 && G <= 16) {
      m[k][(G + 3) % 4] = _mm_sha1msg1_epu32(m[k][(G + 3) % 4], m[k][G % 4]);
    }
    if constexpr (G >= 2 && G <= 17) {
      m[k][(G + 2) % 4] = _mm_xor_si128(m[k][(G + 2) % 4], m[k][G % 4]);
    }
  }
}

// Compresses one message block per chain into `state` (each chain's own start state).
template <int N, int... G>
QM_SHA_TARGET void Compress(const Lanes (&start)[N], __m128i (&m)[N][4], Lanes (&out)[N],
                            std::integer_sequence<int, G...>) {
  __m128i abcd[N];
  __m128i e[N][2];
  for (int k = 0; k < N; ++k) {
    abcd[k] = start[k].abcd;
    e[k][0] = start[k].e;
    e[k][1] = _mm_setzero_si128();
  }
  (Group<G, N>(abcd, e, m), ...);
  for (int k = 0; k < N; ++k) {
    out[k].e = _mm_sha1nexte_epu32(e[k][0], start[k].e);
    out[k].abcd = _mm_add_epi32(abcd[k], start[k].abcd);
  }
}

QM_SHA_TARGET Lanes LoadState(const std::uint32_t state[5]) {
  return {_mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B),
          _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0)};
}

// A 20-byte digest as the words A..E, big-endian, in the state's form.
QM_SHA_TARGET Lanes LoadDigest(const std::uint8_t* bytes) {
  const __m128i byte_swap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  std::uint32_t e;
  std::memcpy(&e, bytes + 16, 4);
  return {_mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)), byte_swap),
          _mm_set_epi32(static_cast<int>(__builtin_bswap32(e)), 0, 0, 0)};
}

QM_SHA_TARGET void StoreDigest(const Lanes& digest, std::uint8_t* bytes) {
  const __m128i byte_swap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes), _mm_shuffle_epi8(digest.abcd, byte_swap));
  const std::uint32_t e =
      __builtin_bswap32(static_cast<std::uint32_t>(_mm_extract_epi32(digest.e, 3)));
  std::memcpy(bytes + 16, &e, 4);
}

template <int N>
QM_SHA_TARGET void Iterate(const std::uint32_t inner[5], const std::uint32_t outer[5],
                           std::uint8_t* u, std::uint8_t* t, int iterations) {
  constexpr auto kGroups = std::make_integer_sequence<int, 20>{};
  // The block after the 64-byte key block: the 20-byte digest, the pad bit, and the length of
  // the whole message in bits (84 bytes) in the last word.
  const __m128i pad = _mm_set_epi32(0, static_cast<int>(0x80000000u), 0, 0);
  const __m128i length = _mm_set_epi32(0, 0, 0, (64 + 20) * 8);
  Lanes inner_start[N], outer_start[N], digest[N], sum[N];
  for (int k = 0; k < N; ++k) {
    inner_start[k] = LoadState(inner);
    outer_start[k] = LoadState(outer);
    digest[k] = LoadDigest(u + 20 * k);
    sum[k] = LoadDigest(t + 20 * k);
  }
  const auto message = [&](__m128i(&m)[N][4]) {
    for (int k = 0; k < N; ++k) {
      m[k][0] = digest[k].abcd;
      m[k][1] = _mm_or_si128(digest[k].e, pad);
      m[k][2] = _mm_setzero_si128();
      m[k][3] = length;
    }
  };
  for (int n = 2; n <= iterations; ++n) {
    __m128i m[N][4];
    message(m);
    Compress(inner_start, m, digest, kGroups);
    message(m);
    Compress(outer_start, m, digest, kGroups);
    for (int k = 0; k < N; ++k) {
      sum[k].abcd = _mm_xor_si128(sum[k].abcd, digest[k].abcd);
      sum[k].e = _mm_xor_si128(sum[k].e, digest[k].e);
    }
  }
  for (int k = 0; k < N; ++k) {
    StoreDigest(digest[k], u + 20 * k);
    StoreDigest(sum[k], t + 20 * k);
  }
}

#undef QM_SHA_TARGET

}  // namespace

__attribute__((target("sha,sse4.1,ssse3"))) void Sha1HwHmacIterate(const std::uint32_t inner[5],
                                                                   const std::uint32_t outer[5],
                                                                   std::uint8_t* u, std::uint8_t* t,
                                                                   int chains, int iterations) {
  // Four chains cover AES-256's 66 bytes of key material in one pass; more would only spill.
  for (; chains >= 4; chains -= 4, u += 80, t += 80) Iterate<4>(inner, outer, u, t, iterations);
  if (chains >= 2) {
    Iterate<2>(inner, outer, u, t, iterations);
    chains -= 2;
    u += 40;
    t += 40;
  }
  if (chains == 1) Iterate<1>(inner, outer, u, t, iterations);
}

}  // namespace qm::crypto::detail
