#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "archive/directory/dir_item.h"
#include "platform/stream.h"

namespace qm::archive {

// The decrypting side of one encrypted item, at the three points where the reading path needs
// it: the header in front of the data (classic: 12 bytes; AES: salt and password verifier), a
// transform of every chunk of stored bytes, and the check after the data (classic: the CRC;
// AES: the authentication code that follows the data). Made by MakeItemDecipher
// (cipher_factory.h).
class ItemDecipher {
 public:
  virtual ~ItemDecipher() = default;

  // Bytes in front of the data and after it; both are part of the item's compressed size.
  virtual std::int64_t HeaderSize() const = 0;
  virtual std::int64_t TrailerSize() const = 0;
  // Reads the header from `archive` at its current position and answers whether `password`
  // opens the item. Called again, from the same position, for every new password; on true the
  // decipher is keyed with that password and `archive` stands at the first data byte. The
  // stream is left after the header whatever the answer.
  virtual bool CheckPassword(platform::Stream& archive, const std::string& password) = 0;
  // Decrypts a chunk in place, in order; chunk boundaries do not matter.
  virtual void Decrypt(std::span<std::uint8_t> chunk) = 0;
  // After the data, with `archive` at the first byte after it: whether the item is intact,
  // given the CRC-32 of the bytes produced.
  virtual bool Verify(platform::Stream& archive, const DirItem& item, std::uint32_t crc) = 0;
};

}  // namespace qm::archive
