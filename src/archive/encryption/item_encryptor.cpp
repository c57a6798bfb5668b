#include "archive/encryption/item_encryptor.h"

#include "archive/directory/dir_item.h"
#include "archive/encryption/item_decryptor.h"

namespace qm::archive {

ItemEncryptor::ItemEncryptor(const DirItem& item, CryptoAlgorithm algorithm,
                             const std::string& password, std::uint32_t crc32)
    : crc32_(crc32) {
  const int bits = AesKeyBits(algorithm);
  if (bits != 0) {
    aes_ = std::make_unique<AESCryptoTransform>(bits, 2, item.CompressionMethod);
    aes_->Initialize(CryptoTransformMode::Encryption, item);
    aes_->GenerateKey(password);
  } else {
    InitClassicKeys(keys_, password);
  }
}

ItemEncryptor::~ItemEncryptor() = default;

std::vector<std::uint8_t> ItemEncryptor::Header() {
  if (aes_) return aes_->GetFileStorageStartBlock();
  const auto header = MakeClassicHeader(keys_, crc32_);
  return {header.begin(), header.end()};
}

void ItemEncryptor::Encrypt(std::span<std::uint8_t> chunk) {
  if (aes_) {
    aes_->EncryptBuffer(chunk, chunk);
  } else {
    ClassicEncrypt(keys_, chunk);
  }
}

std::vector<std::uint8_t> ItemEncryptor::Trailer() {
  if (aes_) return aes_->GetFileStorageEndBlock();
  return {};
}

std::uint64_t ItemEncryptor::Overhead() const {
  if (!aes_) return kClassicHeaderLength;
  return static_cast<std::uint64_t>(aes_->GetFileStorageStartBlockSize()) +
         static_cast<std::uint64_t>(aes_->GetFileStorageEndBlockSize());
}

std::uint16_t ItemEncryptor::HeaderMethod(std::uint16_t actual_method) const {
  return aes_ ? method::kAes : actual_method;
}

std::optional<ExtraFieldDataBlock> ItemEncryptor::ExtraField() const {
  if (!aes_) return std::nullopt;
  return aes_->GetExtraFieldData();
}

}  // namespace qm::archive
