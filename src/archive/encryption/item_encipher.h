#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "archive/format/records.h"

namespace qm::archive {

// The encrypting side of one item: what goes before the compressed data, the encryption of
// every chunk, what goes after it, and the marks the headers need. The writing path writes
// Header(), then every chunk after Encrypt(), then Trailer(). Made by MakeItemEncipher
// (cipher_factory.h).
class ItemEncipher {
 public:
  virtual ~ItemEncipher() = default;

  // The classic 12-byte header, or the AES salt and password verifier. Once, before the data.
  virtual std::vector<std::uint8_t> Header() = 0;
  // Encrypts a chunk in place, in order.
  virtual void Encrypt(std::span<std::uint8_t> chunk) = 0;
  // The AES authentication code; nothing for the classic cipher. Once, after the data.
  virtual std::vector<std::uint8_t> Trailer() = 0;
  // Stored bytes that are not compressed data.
  virtual std::uint64_t Overhead() const = 0;
  // compMethod for both headers: 99 for AES, else the real method.
  virtual std::uint16_t HeaderMethod(std::uint16_t actual_method) const = 0;
  // The AES extra block (0x9901); nothing for the classic cipher.
  virtual std::optional<ExtraFieldDataBlock> ExtraField() const = 0;
};

}  // namespace qm::archive
