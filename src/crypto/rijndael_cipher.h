#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "crypto/cipher.h"

namespace qm::crypto {

// Rijndael with a 16-byte block: AES (FIPS-197) for 16-, 24- and 32-byte keys. Shorter keys
// are padded with zeros to the next of those sizes; longer ones are cut to 32 bytes (or
// refused, see SetStrictKeySize). Uses the processor's AES instructions when available.
class RijndaelCipher final : public Cipher {
 public:
  // Keyed from a text password through HashClass() when `password` is not empty.
  explicit RijndaelCipher(const std::string& password = {},
                          std::shared_ptr<Protection> protection = nullptr);
  // Keyed from raw bytes when `key` is not empty; the caller's buffer is overwritten (see
  // Cipher::InitKey).
  explicit RijndaelCipher(std::span<std::uint8_t> key);
  ~RijndaelCipher() override;

  void CipherSizes(int& buf_size, int& key_size, int& user_size) const override;
  std::span<const std::uint8_t> ReferenceVector() const override;
  void EncryptBlock(std::uint8_t* block) override;
  void DecryptBlock(std::uint8_t* block) override;
  void Init(const std::uint8_t* key, int size, const std::uint8_t* ivector) override;
  std::string_view ClassName() const override { return "TRijndaelCipher"; }

  int Rounds() const { return rounds_; }

 protected:
  void CodeCounterBlocks(std::uint64_t& counter, std::uint64_t high, std::uint8_t* data,
                         std::size_t blocks) override;

 private:
  const std::uint8_t* EncryptSchedule() { return User().data(); }
  const std::uint8_t* DecryptSchedule() { return User().data() + 240; }

  int rounds_ = 10;
};

}  // namespace qm::crypto
