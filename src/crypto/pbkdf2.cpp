#include "crypto/pbkdf2.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <random>
#include <stdexcept>

#include "crypto/hash_registry.h"
#include "crypto/hmac.h"
#include "crypto/sha1.h"
#include "crypto/wipe.h"
#include "platform/clock_seed.h"

namespace qm::crypto {
namespace {

// HMAC with the keyed inner and outer states computed once: every iteration then costs two
// compressions of the message instead of four.
class KeyedHmac {
 public:
  KeyedHmac(const HashDescriptor& d, const void* key, std::size_t key_length) : d_(d) {
    std::uint8_t block[kMaxHashBlockSize] = {};
    if (key_length > d.block_size) {
      HashData(d, key, key_length, block);
    } else if (key_length > 0) {
      std::memcpy(block, key, key_length);
    }
    for (std::size_t i = 0; i < d.block_size; ++i) block[i] ^= 0x36;
    d.init(inner_);
    d.update(inner_, block, d.block_size);
    for (std::size_t i = 0; i < d.block_size; ++i) block[i] ^= 0x6A;
    d.init(outer_);
    d.update(outer_, block, d.block_size);
    SecureWipe(block);
  }
  ~KeyedHmac() {
    SecureWipe(std::span(inner_.storage));
    SecureWipe(std::span(outer_.storage));
  }

  void Mac(const std::uint8_t* a, std::size_t a_len, const std::uint8_t* b, std::size_t b_len,
           std::uint8_t* mac) const {
    HashContext ctx = inner_;
    d_.update(ctx, a, a_len);
    if (b_len > 0) d_.update(ctx, b, b_len);
    std::uint8_t inner_digest[kMaxHashDigestSize];
    d_.finalize(ctx, inner_digest);
    ctx = outer_;
    d_.update(ctx, inner_digest, d_.digest_size);
    d_.finalize(ctx, mac);
  }

  // The keyed states, for a caller that knows the hash behind them.
  const HashContext& Inner() const { return inner_; }
  const HashContext& Outer() const { return outer_; }

 private:
  const HashDescriptor& d_;
  HashContext inner_;
  HashContext outer_;
};

// The keyed contexts are Sha1Context only when our SHA-1 functions made them; a descriptor
// registered from elsewhere under the same name takes the generic loop.
bool RunsOurSha1(const HashDescriptor& d) {
  const HashDescriptor& sha1 = Sha1Descriptor();
  return d.init == sha1.init && d.update == sha1.update && d.finalize == sha1.finalize;
}

std::mutex g_salt_mutex;
std::uint64_t g_salt_sequence = 0;
SaltGenerator g_salt_generator;

void ClockSeededSalt(std::span<std::uint8_t> salt) {
  std::uint64_t seed;
  {
    // Mixing a sequence number into the clock keeps two salts made within one clock tick
    // apart.
    std::lock_guard lock(g_salt_mutex);
    seed = platform::ClockSeed() ^ (++g_salt_sequence * 0x9E3779B97F4A7C15ull);
  }
  std::mt19937_64 generator(seed);
  std::uniform_int_distribution<int> byte(0, 254);
  for (auto& b : salt) b = static_cast<std::uint8_t>(byte(generator));
}

}  // namespace

void SetSaltGenerator(SaltGenerator generator) {
  std::lock_guard lock(g_salt_mutex);
  g_salt_generator = std::move(generator);
}

int Pbkdf2(const HashDescriptor* descriptor, const void* password, std::size_t password_length,
           std::size_t output_length, std::uint8_t* output, int iterations, std::size_t salt_length,
           const void* salt) {
  if (descriptor == nullptr) return kPbkdf2NoDescriptor;
  const std::size_t h = descriptor->digest_size;
  if (h == 0) return kPbkdf2NoDigest;
  if (output_length == 0) return kPbkdf2Done;
  const std::uint64_t blocks = (output_length - 1) / h + 1;
  if (blocks > 0xFFFFFFFFull) return kPbkdf2OutputTooLong;

  const KeyedHmac hmac(*descriptor, password, password_length);
  const auto* salt_bytes = static_cast<const std::uint8_t*>(salt);
  // SHA-1 (the AES items of ZIP archives: 1000 iterations per item) runs all but the first
  // iteration, whose message may be of any length, in its two-compression loop, on a batch of
  // output blocks at once (AES-256's 66 bytes of key material are four blocks).
  const bool sha1_loop = RunsOurSha1(*descriptor) && iterations > 1;
  constexpr std::uint64_t kBatch = 8;
  std::uint8_t t[kBatch * kMaxHashDigestSize];
  std::uint8_t u[kBatch * kMaxHashDigestSize];
  for (std::uint64_t first = 1; first <= blocks; first += kBatch) {
    const std::uint64_t count = std::min(kBatch, blocks - first + 1);
    std::memset(t, 0, count * h);
    for (std::uint64_t b = 0; b < count; ++b) {
      const std::uint64_t i = first + b;
      const std::uint8_t counter[4] = {
          static_cast<std::uint8_t>(i >> 24), static_cast<std::uint8_t>(i >> 16),
          static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
      std::uint8_t* const ub = u + b * h;
      std::uint8_t* const tb = t + b * h;
      for (int j = 1; j <= (sha1_loop ? 1 : iterations); ++j) {
        if (j == 1 && salt_length > 0) {
          hmac.Mac(salt_bytes, salt_length, counter, 4, ub);  // salt || counter
        } else if (j == 1) {
          hmac.Mac(counter, 4, nullptr, 0, ub);
        } else {
          hmac.Mac(ub, h, nullptr, 0, ub);
        }
        for (std::size_t k = 0; k < h; ++k) tb[k] ^= ub[k];
      }
    }
    if (sha1_loop) {
      Sha1HmacIterate(hmac.Inner().As<Sha1Context>(), hmac.Outer().As<Sha1Context>(), u, t,
                      static_cast<int>(count), iterations);
    }
    const std::size_t offset = static_cast<std::size_t>(first - 1) * h;
    std::memcpy(output + offset, t, std::min(count * h, output_length - offset));
  }
  SecureWipe(t);
  SecureWipe(u);
  return kPbkdf2Done;
}

PBKDF2::PBKDF2(std::string password, int salt_size, int iterations)
    : iteration_number_(iterations),
      salt_length_(std::max(salt_size, 0)),
      password_(std::move(password)) {
  SaltGenerator generator;
  {
    std::lock_guard lock(g_salt_mutex);
    generator = g_salt_generator;
  }
  salt_value_.resize(static_cast<std::size_t>(salt_length_));
  if (generator) {
    generator(salt_value_);
  } else {
    ClockSeededSalt(salt_value_);
  }
}

PBKDF2::PBKDF2(std::string password, const std::uint8_t* salt, int salt_length, int iterations)
    : iteration_number_(iterations),
      salt_length_(salt == nullptr ? 0 : std::max(salt_length, 0)),
      password_(std::move(password)) {
  salt_value_.assign(salt, salt + salt_length_);
}

PBKDF2::~PBKDF2() {
  SecureWipe(salt_value_);
  SecureWipe(std::span(reinterpret_cast<std::uint8_t*>(password_.data()), password_.size()));
}

std::vector<std::uint8_t> PBKDF2::GetKeyBytes(int cb) const {
  if (cb <= 0) return {};
  std::vector<std::uint8_t> key(static_cast<std::size_t>(cb));
  const int status =
      Pbkdf2(HashByIndex(kSha1HashIndex), password_.data(), password_.size(), key.size(),
             key.data(), iteration_number_, salt_value_.size(), salt_value_.data());
  // SHA-1 is always in the registry, so this is an internal fault, not a user error.
  if (status != kPbkdf2Done) throw std::logic_error("PBKDF2: SHA-1 is not registered");
  return key;
}

}  // namespace qm::crypto
