#include "archive/encryption/aes_item_cipher.h"

namespace qm::archive {
namespace {

// Every AES item this engine reads or writes is AE-2.
constexpr std::uint16_t kAesVersion = 2;

}  // namespace

AesDecipher::AesDecipher(const DirItem& item, int key_bits)
    : item_(item), aes_(key_bits, kAesVersion, item.CompressionMethod) {
  aes_.Initialize(CryptoTransformMode::Decryption, item);
}

std::int64_t AesDecipher::HeaderSize() const {
  return aes_.GetFileStorageStartBlockSize();
}

std::int64_t AesDecipher::TrailerSize() const {
  return aes_.GetFileStorageEndBlockSize();
}

bool AesDecipher::CheckPassword(platform::Stream& archive, const std::string& password) {
  if (!keyed_ || password != aes_.GetPassword()) {
    aes_.GenerateKey(password);
    keyed_ = true;
  }
  aes_.LoadFileStorageStartBlock(archive, 0);
  return aes_.CheckPassword(password, item_);
}

bool AesDecipher::Verify(platform::Stream& archive, const DirItem& item, std::uint32_t crc) {
  aes_.LoadFileStorageEndBlock(archive, 0);
  return !aes_.IsDirItemCorrupted(item, crc);
}

AesEncipher::AesEncipher(const DirItem& item, int key_bits, const std::string& password)
    : aes_(key_bits, kAesVersion, item.CompressionMethod) {
  aes_.Initialize(CryptoTransformMode::Encryption, item);
  aes_.GenerateKey(password);
}

std::uint64_t AesEncipher::Overhead() const {
  return static_cast<std::uint64_t>(aes_.GetFileStorageStartBlockSize()) +
         static_cast<std::uint64_t>(aes_.GetFileStorageEndBlockSize());
}

}  // namespace qm::archive
