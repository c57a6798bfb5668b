#include "archive/item_decryptor.h"

#include "archive/dir_item.h"
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

ItemDecryptor::ItemDecryptor(DirItem& item, const std::string& password) : item_(item) {
  const int bits = AesKeyBits(item.EncryptionAlgorithm);
  if (bits != 0 && item.CentralDir.extractVersion < kAltVersionThreshold) {
    aes_ = std::make_unique<AESCryptoTransform>(bits, 2, item.CompressionMethod);
    aes_->Initialize(CryptoTransformMode::Decryption, item);
    aes_->GenerateKey(password);
  }
}

ItemDecryptor::~ItemDecryptor() = default;

std::uint64_t ItemDecryptor::Overhead() const {
  if (!aes_) return kClassicHeaderLength;
  return static_cast<std::uint64_t>(aes_->GetFileStorageStartBlockSize()) +
         static_cast<std::uint64_t>(aes_->GetFileStorageEndBlockSize());
}

bool ItemDecryptor::CheckPassword(platform::Stream& archive, const ZipLocalHeader& local,
                                  const std::string& password) {
  if (aes_) {
    if (password != aes_->GetPassword()) aes_->GenerateKey(password);
    aes_->LoadFileStorageStartBlock(archive, 0);
    return aes_->CheckPassword(password, item_);
  }
  if (password.empty()) {
    archive.Seek(static_cast<std::int64_t>(kClassicHeaderLength),
                 platform::Stream::Origin::kCurrent);
    return false;
  }
  return CheckClassicHeader(archive, password, keys_, local.crc32, local.lastModTime,
                            local.genPurposeFlag);
}

bool ItemDecryptor::AcceptPassword(platform::Stream& archive, const ZipLocalHeader& local,
                                   std::string& password, bool suppress_password_event,
                                   const PasswordRequest& request, bool& skip_file) {
  const std::int64_t start = archive.Position();
  for (;;) {
    archive.SetPosition(start);
    const bool right = CheckPassword(archive, local, password);
    if (right || suppress_password_event) return true;
    if (request) {
      request(password, skip_file);
    } else {
      skip_file = true;
    }
    if (skip_file) return false;
  }
}

void ItemDecryptor::Decrypt(std::span<std::uint8_t> chunk) {
  if (aes_) {
    aes_->DecryptBuffer(chunk, chunk);
  } else {
    ClassicDecrypt(keys_, chunk);
  }
}

bool ItemDecryptor::Verify(platform::Stream& archive, DirItem& item, std::uint32_t crc32) {
  if (aes_) {
    aes_->LoadFileStorageEndBlock(archive, 0);
    return !aes_->IsDirItemCorrupted(item, crc32);
  }
  return item.CentralDir.crc32 == crc32;
}

}  // namespace qm::archive
