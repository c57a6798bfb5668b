// libFuzzer target for the AES item decipher: any bytes as salt, verifier, data and
// authentication code, opened with a fixed password at the strength the first byte picks; and
// what the transform encrypts must decrypt to the same bytes and authenticate.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "archive/directory/dir_item.h"
#include "archive/encryption/aes_crypto_transform.h"
#include "archive/encryption/cipher_factory.h"
#include "platform/memory_stream.h"

namespace {

using qm::archive::CryptoAlgorithm;

constexpr CryptoAlgorithm kAlgorithms[] = {CryptoAlgorithm::caAES_128, CryptoAlgorithm::caAES_192,
                                           CryptoAlgorithm::caAES_256};

qm::archive::DirItem ItemOf(CryptoAlgorithm algorithm, std::size_t stored) {
  qm::archive::DirItem item;
  item.CentralDir.genPurposeFlag = qm::archive::gpf::kEncrypted;
  item.CentralDir.extractVersion = 51;
  item.CentralDir.compMethod = 99;
  item.CentralDir.compSize = static_cast<std::uint32_t>(stored);
  item.EncryptionAlgorithm = algorithm;
  return item;
}

void Decipher(const qm::archive::DirItem& item, const std::vector<std::uint8_t>& stored) {
  qm::archive::ZipLocalHeader local;
  const auto decryptor = qm::archive::MakeItemDecipher(item, local);
  qm::platform::MemoryStream stream(std::vector<unsigned char>(stored.begin(), stored.end()));
  if (!decryptor->CheckPassword(stream, "secret")) return;
  const auto data =
      static_cast<std::int64_t>(stored.size()) - decryptor->HeaderSize() - decryptor->TrailerSize();
  if (data < 0) return;
  std::vector<std::uint8_t> body(stored.begin() + decryptor->HeaderSize(),
                                 stored.begin() + decryptor->HeaderSize() + data);
  decryptor->Decrypt(body);
  stream.SetPosition(decryptor->HeaderSize() + data);
  static_cast<void>(decryptor->Verify(stream, item, 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const CryptoAlgorithm algorithm = kAlgorithms[data[0] % 3];
  const std::vector<std::uint8_t> rest(data + 1, data + size);
  try {
    Decipher(ItemOf(algorithm, rest.size()), rest);
  } catch (const std::exception&) {
    // A short block is refused; nothing is read past it.
  }

  if ((data[0] & 0x80) == 0) return 0;  // the round trip costs two key derivations
  const int bits = qm::archive::AesKeyBits(algorithm);
  qm::archive::AESCryptoTransform encrypt(bits, 2, 0);
  qm::archive::DirItem plain_item;
  encrypt.Initialize(qm::archive::CryptoTransformMode::Encryption, plain_item);
  encrypt.GenerateKey("secret");
  std::vector<std::uint8_t> stored = encrypt.GetFileStorageStartBlock();
  std::vector<std::uint8_t> body(rest.size());
  encrypt.EncryptBuffer(rest, body);
  stored.insert(stored.end(), body.begin(), body.end());
  const std::vector<std::uint8_t> mac = encrypt.GetFileStorageEndBlock();
  stored.insert(stored.end(), mac.begin(), mac.end());

  const qm::archive::DirItem item = ItemOf(algorithm, stored.size());
  qm::archive::ZipLocalHeader local;
  const auto decryptor = qm::archive::MakeItemDecipher(item, local);
  qm::platform::MemoryStream stream(std::vector<unsigned char>(stored.begin(), stored.end()));
  if (!decryptor->CheckPassword(stream, "secret")) std::abort();
  std::vector<std::uint8_t> round(body);
  decryptor->Decrypt(round);
  stream.SetPosition(static_cast<std::int64_t>(stored.size() - mac.size()));
  if (round != rest || !decryptor->Verify(stream, item, 0)) std::abort();
  return 0;
}
