#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "archive/encryption/aes_crypto_transform.h"
#include "archive/archive_types.h"
#include "archive/encryption/classic_cipher.h"
#include "archive/encryption/item_decipher.h"
#include "archive/format/records.h"

namespace qm::archive {

// Key bits of an AES algorithm value; 0 for the classic cipher.
int AesKeyBits(CryptoAlgorithm algorithm);

// The decipher item decoding gets from MakeItemDecipher: AES for ZIP entries (extractVersion
// below 0x4114) whose EncryptionAlgorithm is an AES value, the classic cipher otherwise.
class ItemDecryptor final : public ItemDecipher {
 public:
  // `local` gives the classic check byte (its flags, time and CRC).
  ItemDecryptor(const DirItem& item, const ZipLocalHeader& local);
  ~ItemDecryptor() override;

  bool IsAes() const { return aes_ != nullptr; }

  std::int64_t HeaderSize() const override;
  std::int64_t TrailerSize() const override;
  // The stream is left after the header whatever the answer. An empty password is wrong for
  // the classic cipher (its header is skipped unread). AES keys are made again only when the
  // password differs from the one they were made from.
  bool CheckPassword(platform::Stream& archive, const std::string& password) override;
  void Decrypt(std::uint8_t* data, std::size_t count) override;
  void Decrypt(std::span<std::uint8_t> chunk) { Decrypt(chunk.data(), chunk.size()); }
  // AES reads its authentication code at the stream's position and compares it with the code
  // of the ciphertext; the classic cipher compares `crc` with the item's CRC.
  bool Verify(platform::Stream& archive, const DirItem& item, std::uint32_t crc) override;

 private:
  const DirItem& item_;
  ZipLocalHeader local_;
  std::unique_ptr<AESCryptoTransform> aes_;
  bool aes_keyed_ = false;
  ClassicKeys keys_;
};

}  // namespace qm::archive
