#include "crypto/hmac.h"

#include <cstring>

#include "crypto/hash_registry.h"
#include "crypto/wipe.h"

namespace qm::crypto {

void HmacInit(HmacContext& ctx, const HashDescriptor* descriptor, const void* key,
              std::size_t key_length) {
  std::memset(&ctx, 0, sizeof ctx);
  ctx.descriptor = descriptor;
  if (descriptor == nullptr) return;
  const std::size_t block = descriptor->block_size;
  if (key_length > block) {
    HashData(*descriptor, key, key_length, ctx.key_block.data());
  } else if (key_length > 0) {
    std::memcpy(ctx.key_block.data(), key, key_length);
  }
  for (std::size_t i = 0; i < block; ++i) ctx.key_block[i] ^= 0x36;
  descriptor->init(ctx.hash);
  descriptor->update(ctx.hash, ctx.key_block.data(), block);
}

void HmacUpdate(HmacContext& ctx, const void* data, std::size_t length) {
  if (ctx.descriptor == nullptr) return;
  ctx.descriptor->update(ctx.hash, static_cast<const std::uint8_t*>(data), length);
}

void HmacFinal(HmacContext& ctx, std::uint8_t* mac) {
  const HashDescriptor* d = ctx.descriptor;
  if (d == nullptr) return;
  std::uint8_t inner[kMaxHashDigestSize];
  d->finalize(ctx.hash, inner);
  // 0x36 ^ 0x6A == 0x5C: the inner pad becomes the outer pad.
  for (std::size_t i = 0; i < d->block_size; ++i) ctx.key_block[i] ^= 0x6A;
  d->init(ctx.hash);
  d->update(ctx.hash, ctx.key_block.data(), d->block_size);
  d->update(ctx.hash, inner, d->digest_size);
  d->finalize(ctx.hash, mac);
  SecureWipe(inner);
  SecureWipe(std::span(reinterpret_cast<std::uint8_t*>(&ctx), sizeof ctx));
}

}  // namespace qm::crypto
