#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/hash_descriptor.h"

namespace qm::crypto {

inline constexpr std::size_t kSha1DigestSize = 20;
inline constexpr std::size_t kSha1BlockSize = 64;

// SHA-1 (FIPS 180-1). Whole blocks go straight from the input to the compression function,
// which uses the processor's SHA instructions when present.
struct Sha1Context {
  std::uint32_t state[5];
  std::uint32_t count_low;   // message length in bits, low word
  std::uint32_t count_high;  // and high word
  std::uint8_t buffer[kSha1BlockSize];
  std::uint32_t buffered;  // bytes in buffer
};

void Sha1Init(Sha1Context& context);
void Sha1Update(Sha1Context& context, const void* data, std::size_t length);
// Writes 20 bytes and wipes the context.
void Sha1Final(Sha1Context& context, std::uint8_t* digest);

// PBKDF2-HMAC-SHA1's inner loop, past its first iteration, for `chains` output blocks: chain
// k's U(1) is the 20 bytes at u + 20k; runs U(2) to U(`iterations`) and XORs each into the 20
// bytes at t + 20k, leaving the last in u + 20k. `inner` and `outer` are
// contexts that have absorbed exactly the key block XORed with the inner and outer pads. Every
// message here is one digest long, so each HMAC is two compressions of a block padded once,
// with no buffering or length bookkeeping on the way.
void Sha1HmacIterate(const Sha1Context& inner, const Sha1Context& outer, std::uint8_t* u,
                     std::uint8_t* t, int chains, int iterations);

// The registry descriptor for SHA-1 (slot 3, name "SHA1", OID 1.3.14.3.2.26).
const HashDescriptor& Sha1Descriptor();

}  // namespace qm::crypto
