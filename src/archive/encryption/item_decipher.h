#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "archive/directory/dir_item.h"
#include "archive/format/records.h"
#include "platform/stream.h"

namespace qm::archive {

// The decryption of one encrypted item, at the three points where item decoding calls it:
// the header in front of the data (classic: 12 bytes; AES: salt and password verifier), a
// transform of every chunk of stored bytes, and the check after the data (classic: the CRC;
// AES: the authentication code that follows the data).
class ItemDecipher {
 public:
  virtual ~ItemDecipher() = default;

  // Bytes in front of the data and after it; both are part of the item's compressed size.
  virtual std::int64_t HeaderSize() const = 0;
  virtual std::int64_t TrailerSize() const = 0;
  // Reads the header from `archive` at its current position and answers whether `password`
  // opens the item. Called again, from the same position, for every new password; on true the
  // decipher is keyed with that password and `archive` stands at the first data byte.
  virtual bool CheckPassword(platform::Stream& archive, const std::string& password) = 0;
  // Decrypts `count` bytes in place; chunk boundaries do not matter.
  virtual void Decrypt(std::uint8_t* data, std::size_t count) = 0;
  // After the data, with `archive` at the first byte after it: whether the item is intact,
  // given the CRC-32 of the bytes produced.
  virtual bool Verify(platform::Stream& archive, const DirItem& item, std::uint32_t crc) = 0;
};

// The decipher for an encrypted item, chosen by its EncryptionAlgorithm (AES or the classic
// cipher, item_decryptor.cpp); `local` is its local header (the classic check byte comes from
// its flags, time and CRC). Callers also cope with null, which makes every password wrong.
std::unique_ptr<ItemDecipher> MakeItemDecipher(const DirItem& item, const ZipLocalHeader& local);

}  // namespace qm::archive
