#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archive/encryption/aes_crypto_transform.h"
#include "archive/archive_types.h"
#include "archive/encryption/classic_cipher.h"
#include "archive/format/records.h"

namespace qm::archive {

struct DirItem;

// The encoding side of one encrypted item: what goes before the compressed data, the
// encryption of every chunk, what goes after it, and the marks the headers need. Item
// encoding writes Header(), then every chunk after Encrypt(), then Trailer().
class ItemEncryptor {
 public:
  // AES when `algorithm` is an AES value (a new random salt; the item's CompressionMethod is
  // the real method put into the extra block), else the classic cipher, whose header carries
  // the high bytes of `crc32`, the CRC of the item's plain data, which the encoder must know
  // before it writes any data.
  ItemEncryptor(const DirItem& item, CryptoAlgorithm algorithm, const std::string& password,
                std::uint32_t crc32);
  ~ItemEncryptor();
  ItemEncryptor(const ItemEncryptor&) = delete;
  ItemEncryptor& operator=(const ItemEncryptor&) = delete;

  bool IsAes() const { return aes_ != nullptr; }
  // The classic 12-byte header, or the AES salt and password verifier. Once, before the data.
  std::vector<std::uint8_t> Header();
  // Encrypts a chunk in place, in order.
  void Encrypt(std::span<std::uint8_t> chunk);
  // The AES authentication code; nothing for the classic cipher. Once, after the data.
  std::vector<std::uint8_t> Trailer();
  // Stored bytes that are not compressed data.
  std::uint64_t Overhead() const;
  // compMethod for both headers: 99 for AES, else the real method.
  std::uint16_t HeaderMethod(std::uint16_t actual_method) const;
  // The AES extra block (0x9901); nothing for the classic cipher.
  std::optional<ExtraFieldDataBlock> ExtraField() const;

 private:
  std::unique_ptr<AESCryptoTransform> aes_;
  ClassicKeys keys_;
  std::uint32_t crc32_;
};

}  // namespace qm::archive
