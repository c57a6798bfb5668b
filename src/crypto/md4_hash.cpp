#include "crypto/md4_hash.h"

#include <algorithm>
#include <cstring>

#include "crypto/wipe.h"

namespace qm::crypto {
namespace {

inline std::uint32_t Rotl(std::uint32_t x, int n) {
  return (x << n) | (x >> (32 - n));
}

// The digest of Hash::SelfTestPattern(), from OpenSSL:
//   printf '30373e45...0209' | xxd -r -p | openssl dgst -md4 -provider legacy
constexpr std::uint8_t kReference[16] = {0xd8, 0x2a, 0xd3, 0xaf, 0xf4, 0xb4, 0x38, 0x95,
                                         0x46, 0x56, 0x00, 0x1f, 0x1c, 0x30, 0xe5, 0x21};

}  // namespace

MD4Hash::MD4Hash(std::shared_ptr<Protection> protection) : Hash(std::move(protection)) {
  Init();
}

MD4Hash::~MD4Hash() {
  SecureWipe(buffer_);
  SecureWipe(std::span(reinterpret_cast<std::uint8_t*>(digest_.data()), sizeof digest_));
  SecureWipe(digest_bytes_);
}

std::span<const std::uint8_t> MD4Hash::ReferenceVector() const {
  return kReference;
}

void MD4Hash::Init() {
  count_ = 0;
  buffer_.fill(0);
  digest_.fill(0);
  digest_[0] = 0x67452301;
  digest_[1] = 0xEFCDAB89;
  digest_[2] = 0x98BADCFE;
  digest_[3] = 0x10325476;
}

void MD4Hash::Calc(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  if (p == nullptr) return;
  std::size_t used = count_ % 64;
  count_ += size;
  while (size > 0) {
    if (used == 0 && size >= 64) {
      CompressBlock(p);
      p += 64;
      size -= 64;
      continue;
    }
    const std::size_t take = std::min(size, 64 - used);
    std::memcpy(buffer_.data() + used, p, take);
    used += take;
    p += take;
    size -= take;
    if (used == 64) {
      CompressBlock(buffer_.data());
      used = 0;
    }
  }
}

void MD4Hash::Done() {
  const std::uint64_t bits = count_ * 8;
  std::size_t used = count_ % 64;
  buffer_[used++] = 0x80;
  if (used > 56) {
    std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(used), buffer_.end(), 0);
    CompressBlock(buffer_.data());
    used = 0;
  }
  std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(used), buffer_.begin() + 56, 0);
  for (int i = 0; i < 8; ++i) buffer_[56 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  CompressBlock(buffer_.data());
  SecureWipe(buffer_);
  count_ = 0;
}

std::span<const std::uint8_t> MD4Hash::DigestKey() {
  for (std::size_t i = 0; i < digest_.size(); ++i) {
    for (int j = 0; j < 4; ++j) {
      digest_bytes_[4 * i + j] = static_cast<std::uint8_t>(digest_[i] >> (8 * j));
    }
  }
  return std::span<const std::uint8_t>(digest_bytes_)
      .first(static_cast<std::size_t>(DigestKeySize()));
}

void MD4Hash::ScrambleDigest() {
  std::array<std::uint8_t, sizeof(std::uint32_t) * 10> bytes;
  ScrambleWithClock(bytes);
  std::memcpy(digest_.data(), bytes.data(), bytes.size());
}

void MD4Hash::CompressBlock(const std::uint8_t* block) {
  std::uint32_t x[16];
  for (int i = 0; i < 16; ++i) {
    x[i] = std::uint32_t{block[4 * i]} | (std::uint32_t{block[4 * i + 1]} << 8) |
           (std::uint32_t{block[4 * i + 2]} << 16) | (std::uint32_t{block[4 * i + 3]} << 24);
  }
  std::uint32_t a = digest_[0], b = digest_[1], c = digest_[2], d = digest_[3];
  auto rotate = [&](std::uint32_t t) {
    a = d;
    d = c;
    c = b;
    b = t;
  };
  static constexpr int kS1[4] = {3, 7, 11, 19};
  static constexpr int kS2[4] = {3, 5, 9, 13};
  static constexpr int kS3[4] = {3, 9, 11, 15};
  static constexpr int kOrder2[16] = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
  static constexpr int kOrder3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
  for (int i = 0; i < 16; ++i) {
    rotate(Rotl(a + ((b & c) | (~b & d)) + x[i], kS1[i % 4]));
  }
  for (int i = 0; i < 16; ++i) {
    rotate(Rotl(a + ((b & c) | (b & d) | (c & d)) + x[kOrder2[i]] + 0x5A827999u, kS2[i % 4]));
  }
  for (int i = 0; i < 16; ++i) {
    rotate(Rotl(a + (b ^ c ^ d) + x[kOrder3[i]] + 0x6ED9EBA1u, kS3[i % 4]));
  }
  digest_[0] += a;
  digest_[1] += b;
  digest_[2] += c;
  digest_[3] += d;
  SecureWipe(std::span(reinterpret_cast<std::uint8_t*>(x), sizeof x));
}

}  // namespace qm::crypto
