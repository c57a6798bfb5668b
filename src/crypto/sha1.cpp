#include "crypto/sha1.h"

#include <cstring>

#include "crypto/accelerated_kernels.h"
#include "crypto/acceleration.h"
#include "crypto/wipe.h"

namespace qm::crypto {
namespace {

inline std::uint32_t Rotl(std::uint32_t x, int n) {
  return (x << n) | (x >> (32 - n));
}

inline std::uint32_t LoadBe32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

template <int Round>
inline std::uint32_t F(std::uint32_t b, std::uint32_t c, std::uint32_t d) {
  if constexpr (Round == 0) return d ^ (b & (c ^ d));
  if constexpr (Round == 1 || Round == 3) return b ^ c ^ d;
  if constexpr (Round == 2) return (b & c) | (d & (b | c));
}

constexpr std::uint32_t kK[4] = {0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC, 0xCA62C1D6};

// One step without moving registers: the caller rotates the roles of a..e instead.
template <int Round>
inline void Step(std::uint32_t a, std::uint32_t& b, std::uint32_t c, std::uint32_t d,
                 std::uint32_t& e, std::uint32_t w) {
  e += Rotl(a, 5) + F<Round>(b, c, d) + kK[Round] + w;
  b = Rotl(b, 30);
}

inline std::uint32_t Schedule(std::uint32_t* w, int t) {
  const std::uint32_t v = Rotl(w[(t + 13) & 15] ^ w[(t + 8) & 15] ^ w[(t + 2) & 15] ^ w[t & 15], 1);
  w[t & 15] = v;
  return v;
}

// Words 0 to 15 are the message itself; later ones are expanded in place.
inline std::uint32_t Word(std::uint32_t* w, int t) {
  return t < 16 ? w[t] : Schedule(w, t);
}

template <int Round>
inline void FiveSteps(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                      std::uint32_t& e, std::uint32_t* w, int t) {
  Step<Round>(a, b, c, d, e, Word(w, t));
  Step<Round>(e, a, b, c, d, Word(w, t + 1));
  Step<Round>(d, e, a, b, c, Word(w, t + 2));
  Step<Round>(c, d, e, a, b, Word(w, t + 3));
  Step<Round>(b, c, d, e, a, Word(w, t + 4));
}

void CompressPortable(std::uint32_t state[5], const std::uint8_t* data, std::size_t blocks) {
  for (; blocks > 0; --blocks, data += 64) {
    std::uint32_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = LoadBe32(data + 4 * i);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
#pragma GCC unroll 4
    for (int t = 0; t < 20; t += 5) FiveSteps<0>(a, b, c, d, e, w, t);
#pragma GCC unroll 4
    for (int t = 20; t < 40; t += 5) FiveSteps<1>(a, b, c, d, e, w, t);
#pragma GCC unroll 4
    for (int t = 40; t < 60; t += 5) FiveSteps<2>(a, b, c, d, e, w, t);
#pragma GCC unroll 4
    for (int t = 60; t < 80; t += 5) FiveSteps<3>(a, b, c, d, e, w, t);
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
  }
}

void Compress(std::uint32_t state[5], const std::uint8_t* data, std::size_t blocks) {
  if (ShaInstructionsInUse()) {
    detail::Sha1HwCompress(state, data, blocks);
  } else {
    CompressPortable(state, data, blocks);
  }
}

void AddBits(Sha1Context& ctx, std::size_t length) {
  const std::uint64_t bits = (std::uint64_t{ctx.count_high} << 32 | ctx.count_low) +
                             (static_cast<std::uint64_t>(length) << 3);
  ctx.count_low = static_cast<std::uint32_t>(bits);
  ctx.count_high = static_cast<std::uint32_t>(bits >> 32);
}

void InitThunk(HashContext& c) {
  Sha1Init(*::new (c.storage) Sha1Context);
}
void UpdateThunk(HashContext& c, const std::uint8_t* data, std::size_t length) {
  Sha1Update(c.As<Sha1Context>(), data, length);
}
void FinalThunk(HashContext& c, std::uint8_t* digest) {
  Sha1Final(c.As<Sha1Context>(), digest);
}

constexpr std::uint32_t kSha1Oid[] = {1, 3, 14, 3, 2, 26};

constexpr HashDescriptor kSha1Descriptor = {kHashMagic,
                                            kHashDescriptorSize,
                                            kHashVersion,
                                            kSha1BlockSize,
                                            kSha1DigestSize,
                                            &InitThunk,
                                            &FinalThunk,
                                            &UpdateThunk,
                                            3,
                                            {4, 'S', 'H', 'A', '1'},
                                            kSha1Oid,
                                            6};

}  // namespace

void Sha1Init(Sha1Context& ctx) {
  ctx.state[0] = 0x67452301;
  ctx.state[1] = 0xEFCDAB89;
  ctx.state[2] = 0x98BADCFE;
  ctx.state[3] = 0x10325476;
  ctx.state[4] = 0xC3D2E1F0;
  ctx.count_low = ctx.count_high = 0;
  ctx.buffered = 0;
}

void Sha1Update(Sha1Context& ctx, const void* data, std::size_t length) {
  auto p = static_cast<const std::uint8_t*>(data);
  AddBits(ctx, length);
  if (ctx.buffered > 0) {
    const std::size_t take = std::min<std::size_t>(length, kSha1BlockSize - ctx.buffered);
    std::memcpy(ctx.buffer + ctx.buffered, p, take);
    ctx.buffered += static_cast<std::uint32_t>(take);
    p += take;
    length -= take;
    if (ctx.buffered < kSha1BlockSize) return;
    Compress(ctx.state, ctx.buffer, 1);
    ctx.buffered = 0;
  }
  if (length >= kSha1BlockSize) {
    const std::size_t blocks = length / kSha1BlockSize;
    Compress(ctx.state, p, blocks);
    p += blocks * kSha1BlockSize;
    length -= blocks * kSha1BlockSize;
  }
  if (length != 0) std::memcpy(ctx.buffer, p, length);  // p may be null for empty input
  ctx.buffered = static_cast<std::uint32_t>(length);
}

void Sha1Final(Sha1Context& ctx, std::uint8_t* digest) {
  std::uint32_t n = ctx.buffered;
  ctx.buffer[n++] = 0x80;
  if (n > 56) {
    std::memset(ctx.buffer + n, 0, kSha1BlockSize - n);
    Compress(ctx.state, ctx.buffer, 1);
    n = 0;
  }
  std::memset(ctx.buffer + n, 0, 56 - n);
  for (int i = 0; i < 4; ++i) {
    ctx.buffer[56 + i] = static_cast<std::uint8_t>(ctx.count_high >> (24 - 8 * i));
    ctx.buffer[60 + i] = static_cast<std::uint8_t>(ctx.count_low >> (24 - 8 * i));
  }
  Compress(ctx.state, ctx.buffer, 1);
  for (int i = 0; i < 5; ++i) {
    for (int j = 0; j < 4; ++j) {
      digest[4 * i + j] = static_cast<std::uint8_t>(ctx.state[i] >> (24 - 8 * j));
    }
  }
  SecureWipe(std::span(reinterpret_cast<std::uint8_t*>(&ctx), sizeof ctx));
}

const HashDescriptor& Sha1Descriptor() {
  return kSha1Descriptor;
}

void Sha1HmacIterate(const Sha1Context& inner, const Sha1Context& outer, std::uint8_t* u,
                     std::uint8_t* t, int chains, int iterations) {
  if (ShaInstructionsInUse()) {
    detail::Sha1HwHmacIterate(inner.state, outer.state, u, t, chains, iterations);
    return;
  }
  // One key block and one digest: 84 bytes, 672 bits, in both the inner and the outer hash.
  constexpr std::uint32_t kMessageBits = (kSha1BlockSize + kSha1DigestSize) * 8;
  std::uint8_t block[kSha1BlockSize] = {};
  block[kSha1DigestSize] = 0x80;
  block[62] = static_cast<std::uint8_t>(kMessageBits >> 8);
  block[63] = static_cast<std::uint8_t>(kMessageBits);
  const auto store = [&](const std::uint32_t state[5]) {
    for (int i = 0; i < 5; ++i) {
      for (int j = 0; j < 4; ++j)
        block[4 * i + j] = static_cast<std::uint8_t>(state[i] >> (24 - 8 * j));
    }
  };
  for (int chain = 0; chain < chains; ++chain, u += kSha1DigestSize, t += kSha1DigestSize) {
    std::memcpy(block, u, kSha1DigestSize);
    for (int n = 2; n <= iterations; ++n) {
      std::uint32_t state[5];
      std::memcpy(state, inner.state, sizeof state);
      CompressPortable(state, block, 1);
      store(state);
      std::memcpy(state, outer.state, sizeof state);
      CompressPortable(state, block, 1);
      store(state);
      for (std::size_t k = 0; k < kSha1DigestSize; ++k) t[k] ^= block[k];
    }
    std::memcpy(u, block, kSha1DigestSize);
  }
  SecureWipe(block);
}

}  // namespace qm::crypto
