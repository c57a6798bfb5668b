#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "archive/encryption/crypto_transform.h"
#include "crypto/hmac.h"

namespace qm::crypto {
class PBKDF2;
class RijndaelCipher;
struct HashDescriptor;
}  // namespace qm::crypto

namespace qm::archive {

// AES in the WinZip AES form (AE-2). Before the data: a salt of half the key length and a
// 2-byte password verifier. The data: AES in counter mode, the little-endian counter starting
// at 1. After the data: the first 10 bytes of HMAC-SHA1 over the ciphertext. The keys come
// from PBKDF2-HMAC-SHA1 (1000 iterations) over password and salt: AES key, HMAC key and
// verifier, in that order.
//
// Decryption: Initialize, GenerateKey, LoadFileStorageStartBlock, CheckPassword (GenerateKey
// and the start block again after a new password), DecryptBuffer per chunk,
// LoadFileStorageEndBlock, IsDirItemCorrupted. Encryption: Initialize, GenerateKey (a new
// salt), GetFileStorageStartBlock, EncryptBuffer per chunk, GetFileStorageEndBlock.
class AESCryptoTransform final : public CryptoTransform {
 public:
  static constexpr int kIterations = 1000;

  // `strength` in bits: 128, 192 or 256 (anything else throws std::invalid_argument).
  // `crypt_version` goes into the extra block: 2 for every item this engine writes; a
  // version-1 transform stores no authentication code and checks the CRC instead.
  AESCryptoTransform(int strength, std::uint16_t crypt_version, std::uint16_t actual_comp_method);
  ~AESCryptoTransform() override;

  void GenerateKey(const std::string& password) override;
  bool CheckPassword(const std::string& password, const DirItem& item) override;
  std::span<const std::uint8_t> GetKey() const override { return encryption_key_; }
  const std::string& GetPassword() const override { return password_; }
  void Reset() override;

  std::size_t DecryptBuffer(std::span<const std::uint8_t> input,
                            std::span<std::uint8_t> output) override;
  std::size_t EncryptBuffer(std::span<const std::uint8_t> input,
                            std::span<std::uint8_t> output) override;

  std::vector<std::uint8_t> GetFileStorageStartBlock() override;
  // Short reads are not errors: the missing bytes count as zeros, and the password or
  // authentication check then fails.
  void LoadFileStorageStartBlock(platform::Stream& stream, std::int64_t offset) override;
  int GetFileStorageStartBlockSize() const override;
  std::vector<std::uint8_t> GetFileStorageEndBlock() override;
  void LoadFileStorageEndBlock(platform::Stream& stream, std::int64_t offset) override;
  int GetFileStorageEndBlockSize() const override;
  bool IsDirItemCorrupted(const DirItem& item, std::uint32_t crc32) override;
  ExtraFieldDataBlock GetExtraFieldData() const override;

  int KeyLengthBytes() const { return key_length_bytes_; }
  std::span<const std::uint8_t> SaltValue() const { return salt_value_; }
  std::uint16_t Version() const { return version_; }

 private:
  void DeriveKeys();
  // The verifier `password` gives with the current salt.
  std::array<std::uint8_t, 2> VerifierFor(const std::string& password) const;
  void RequireKeys() const;
  // Finishes the running HMAC once and keeps its first 10 bytes.
  std::span<const std::uint8_t> FinishedMac();
  void WipeKeys();

  std::unique_ptr<crypto::PBKDF2> key_generator_;
  crypto::HmacContext hmac_context_{};
  bool hmac_running_ = false;
  std::vector<std::uint8_t> computed_mac_;
  const crypto::HashDescriptor* p_hash_;
  std::unique_ptr<crypto::RijndaelCipher> cryptor_;
  int key_length_bytes_;
  std::vector<std::uint8_t> hash_key_;
  std::vector<std::uint8_t> encryption_key_;
  std::vector<std::uint8_t> password_verification_value_;
  // The verifier the current keys' derivation gave (password_verification_value_ holds the
  // stored one once the start block is loaded).
  std::array<std::uint8_t, 2> derived_verifier_{};
  std::vector<std::uint8_t> salt_value_;
  std::vector<std::uint8_t> authentication_code_;
  std::string password_;
  std::uint16_t version_;
  std::uint16_t actual_compression_method_;
  int authentication_code_size_ = static_cast<int>(kAesAuthenticationCodeLength);
};

}  // namespace qm::archive
