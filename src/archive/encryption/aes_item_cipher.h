#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archive/encryption/aes_crypto_transform.h"
#include "archive/encryption/item_decipher.h"
#include "archive/encryption/item_encipher.h"

namespace qm::archive {

// WinZip AES reading one item of `key_bits` bits.
class AesDecipher final : public ItemDecipher {
 public:
  AesDecipher(const DirItem& item, int key_bits);

  std::int64_t HeaderSize() const override;
  std::int64_t TrailerSize() const override;
  // The keys are made again only when the password differs from the one they were made from.
  bool CheckPassword(platform::Stream& archive, const std::string& password) override;
  void Decrypt(std::span<std::uint8_t> chunk) override { aes_.DecryptBuffer(chunk, chunk); }
  // Reads the authentication code at the stream's position and compares it with the code of
  // the ciphertext.
  bool Verify(platform::Stream& archive, const DirItem& item, std::uint32_t crc) override;

 private:
  const DirItem& item_;
  AESCryptoTransform aes_;
  bool keyed_ = false;
};

// WinZip AES writing one item with a new random salt; the item's CompressionMethod is the
// real method put into the extra block.
class AesEncipher final : public ItemEncipher {
 public:
  AesEncipher(const DirItem& item, int key_bits, const std::string& password);

  std::vector<std::uint8_t> Header() override { return aes_.GetFileStorageStartBlock(); }
  void Encrypt(std::span<std::uint8_t> chunk) override { aes_.EncryptBuffer(chunk, chunk); }
  std::vector<std::uint8_t> Trailer() override { return aes_.GetFileStorageEndBlock(); }
  std::uint64_t Overhead() const override;
  std::uint16_t HeaderMethod(std::uint16_t) const override { return method::kAes; }
  std::optional<ExtraFieldDataBlock> ExtraField() const override {
    return aes_.GetExtraFieldData();
  }

 private:
  AESCryptoTransform aes_;
};

}  // namespace qm::archive
