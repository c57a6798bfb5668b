#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "crypto/hash_descriptor.h"

namespace qm::crypto {

// HMAC (RFC 2104) over any registered hash.
struct HmacContext {
  HashContext hash;
  // The key (or its digest when longer than a block) padded to a block and XORed with 0x36.
  std::array<std::uint8_t, kMaxHashBlockSize> key_block;
  const HashDescriptor* descriptor;
};

// With no descriptor the context stays inert: update and final do nothing.
void HmacInit(HmacContext& context, const HashDescriptor* descriptor, const void* key,
              std::size_t key_length);
void HmacUpdate(HmacContext& context, const void* data, std::size_t length);
// Writes digest_size bytes and wipes the context.
void HmacFinal(HmacContext& context, std::uint8_t* mac);

}  // namespace qm::crypto
