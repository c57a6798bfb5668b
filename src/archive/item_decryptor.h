#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "archive/aes_crypto_transform.h"
#include "archive/archive_types.h"
#include "archive/classic_cipher.h"
#include "archive/records.h"

namespace qm::platform {
class Stream;
}

namespace qm::archive {

struct DirItem;

// Key bits of an AES algorithm value; 0 for the classic cipher.
int AesKeyBits(CryptoAlgorithm algorithm);

// Asked when a password does not open an item (the component's DoPassword): may replace the
// password, or set the skip flag.
using PasswordRequest = std::function<void(std::string& new_password, bool& skip_file)>;

// The decoding side of one encrypted item, at the three points where item decoding calls it:
// the password check before the data, the decryption of every chunk, and the check after the
// data. Created per item and dropped with it.
class ItemDecryptor {
 public:
  // AES for ZIP entries (extractVersion below 0x4114) whose EncryptionAlgorithm is an AES
  // value, keyed from `password` at once; the classic cipher otherwise.
  ItemDecryptor(DirItem& item, const std::string& password);
  ~ItemDecryptor();
  ItemDecryptor(const ItemDecryptor&) = delete;
  ItemDecryptor& operator=(const ItemDecryptor&) = delete;

  bool IsAes() const { return aes_ != nullptr; }
  // Stored bytes of the item that are not compressed data: the classic header, or the AES
  // start and end blocks.
  std::uint64_t Overhead() const;

  // One check of `password` against the header at the stream's position. The stream is left
  // after the header whatever the answer (an empty password is wrong for the classic cipher
  // and reads nothing). `local` is the item's local header: its flags, time and CRC give the
  // classic check byte.
  bool CheckPassword(platform::Stream& archive, const ZipLocalHeader& local,
                     const std::string& password);

  // The password loop: checks `password`; while it is wrong, asks `request` for another one
  // (which replaces `password`) and checks again from the same position. With
  // `suppress_password_event` the first answer stands and decoding goes on either way.
  // False when the item was skipped (`skip_file` set); then nothing should be decoded.
  bool AcceptPassword(platform::Stream& archive, const ZipLocalHeader& local,
                      std::string& password, bool suppress_password_event,
                      const PasswordRequest& request, bool& skip_file);

  // Decrypts a chunk of the item's data in place, in order.
  void Decrypt(std::span<std::uint8_t> chunk);

  // After the data, the stream at the AES end block: AES reads its authentication code and
  // compares it with the code of the ciphertext; the classic cipher compares `crc32`, the CRC
  // of the decoded bytes, with the item's. True when the item is intact.
  bool Verify(platform::Stream& archive, DirItem& item, std::uint32_t crc32);

 private:
  DirItem& item_;
  std::unique_ptr<AESCryptoTransform> aes_;
  ClassicKeys keys_;
};

}  // namespace qm::archive
