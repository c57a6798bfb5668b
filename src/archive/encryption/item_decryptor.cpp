#include "archive/encryption/item_decryptor.h"

#include "archive/directory/dir_item.h"
#include "platform/stream.h"

namespace qm::archive {

int AesKeyBits(CryptoAlgorithm algorithm) {
  switch (algorithm) {
    case CryptoAlgorithm::caAES_128:
      return 128;
    case CryptoAlgorithm::caAES_192:
      return 192;
    case CryptoAlgorithm::caAES_256:
      return 256;
    case CryptoAlgorithm::caPkzipClassic:
      break;
  }
  return 0;
}

ItemDecryptor::ItemDecryptor(const DirItem& item, const ZipLocalHeader& local)
    : item_(item), local_(local) {
  const int bits = AesKeyBits(item.EncryptionAlgorithm);
  if (bits != 0 && !SkipsZipChecks(item.CentralDir.signature == sig::kAltCentralDir,
                                   item.CentralDir.extractVersion)) {
    aes_ = std::make_unique<AESCryptoTransform>(bits, 2, item.CompressionMethod);
    aes_->Initialize(CryptoTransformMode::Decryption, item);
  }
}

ItemDecryptor::~ItemDecryptor() = default;

std::int64_t ItemDecryptor::HeaderSize() const {
  return aes_ ? aes_->GetFileStorageStartBlockSize()
              : static_cast<std::int64_t>(kClassicHeaderLength);
}

std::int64_t ItemDecryptor::TrailerSize() const {
  return aes_ ? aes_->GetFileStorageEndBlockSize() : 0;
}

bool ItemDecryptor::CheckPassword(platform::Stream& archive, const std::string& password) {
  if (aes_) {
    if (!aes_keyed_ || password != aes_->GetPassword()) {
      aes_->GenerateKey(password);
      aes_keyed_ = true;
    }
    aes_->LoadFileStorageStartBlock(archive, 0);
    return aes_->CheckPassword(password, item_);
  }
  if (password.empty()) {
    archive.Seek(static_cast<std::int64_t>(kClassicHeaderLength),
                 platform::Stream::Origin::kCurrent);
    return false;
  }
  return CheckClassicHeader(archive, password, keys_, local_.crc32, local_.lastModTime,
                            local_.genPurposeFlag);
}

void ItemDecryptor::Decrypt(std::uint8_t* data, std::size_t count) {
  const std::span<std::uint8_t> chunk(data, count);
  if (aes_) {
    aes_->DecryptBuffer(chunk, chunk);
  } else {
    ClassicDecrypt(keys_, chunk);
  }
}

bool ItemDecryptor::Verify(platform::Stream& archive, const DirItem& item, std::uint32_t crc) {
  if (aes_) {
    aes_->LoadFileStorageEndBlock(archive, 0);
    return !aes_->IsDirItemCorrupted(item, crc);
  }
  return item.CentralDir.crc32 == crc;
}

// The hook item decoding and IsFilePasswordValid call.
std::unique_ptr<ItemDecipher> MakeItemDecipher(const DirItem& item, const ZipLocalHeader& local) {
  return std::make_unique<ItemDecryptor>(item, local);
}

}  // namespace qm::archive
