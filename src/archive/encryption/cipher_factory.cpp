#include "archive/encryption/cipher_factory.h"

#include "archive/encryption/aes_item_cipher.h"
#include "archive/encryption/classic_item_cipher.h"

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

std::unique_ptr<ItemDecipher> MakeItemDecipher(const DirItem& item, const ZipLocalHeader& local) {
  const int bits = AesKeyBits(item.EncryptionAlgorithm);
  if (bits != 0 && !SkipsZipChecks(item.CentralDir.signature == sig::kAltCentralDir,
                                   item.CentralDir.extractVersion)) {
    return std::make_unique<AesDecipher>(item, bits);
  }
  return std::make_unique<ClassicDecipher>(local);
}

std::unique_ptr<ItemEncipher> MakeItemEncipher(const DirItem& item, CryptoAlgorithm algorithm,
                                               const std::string& password, std::uint32_t crc32) {
  const int bits = AesKeyBits(algorithm);
  if (bits != 0) return std::make_unique<AesEncipher>(item, bits, password);
  return std::make_unique<ClassicEncipher>(password, crc32);
}

}  // namespace qm::archive
