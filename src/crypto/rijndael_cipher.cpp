#include "crypto/rijndael_cipher.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "crypto/accelerated_kernels.h"
#include "crypto/acceleration.h"
#include "crypto/aes_core.h"
#include "crypto/crypto_errors.h"
#include "crypto/wipe.h"

namespace qm::crypto {
namespace {

constexpr int kBlockSize = 16;
constexpr int kMaxKeySize = 32;
constexpr int kUserSize = 2 * detail::kAesScheduleBytes;  // encryption + decryption schedule

// FIPS-197 appendix C.3: AES-256 key, plaintext, ciphertext.
constexpr std::array<std::uint8_t, 64> kReference = {
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f,
    0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f,
    0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff,
    0x8e, 0xa2, 0xb7, 0xca, 0x51, 0x67, 0x45, 0xbf, 0xea, 0xfc, 0x49, 0x90, 0x4b, 0x49, 0x60, 0x89};

}  // namespace

RijndaelCipher::RijndaelCipher(const std::string& password, std::shared_ptr<Protection> protection)
    : Cipher(std::move(protection)) {
  Setup();
  if (!password.empty()) InitKey(password, nullptr);
}

RijndaelCipher::RijndaelCipher(std::span<std::uint8_t> key) {
  Setup();
  if (!key.empty()) InitKey(key, nullptr);
}

RijndaelCipher::~RijndaelCipher() {
  Protect();
}

void RijndaelCipher::CipherSizes(int& buf_size, int& key_size, int& user_size) const {
  buf_size = kBlockSize;
  key_size = kMaxKeySize;
  user_size = kUserSize;
}

std::span<const std::uint8_t> RijndaelCipher::ReferenceVector() const {
  return kReference;
}

void RijndaelCipher::Init(const std::uint8_t* key, int size, const std::uint8_t* ivector) {
  SetStateFlag(kFlagReady, false);
  Protect();
  if (size < 0 || key == nullptr) size = 0;
  if (size > KeySize()) {
    if (StrictKeySize()) {
      throw CipherException(
          CipherException::kBadKeyLength,
          detail::FormatMessage(messages::kInvalidKeyLength,
                                {std::string(ClassName()), "0", std::to_string(KeySize())}));
    }
    size = KeySize();
  }
  rounds_ = size <= 16 ? 10 : size <= 24 ? 12 : 14;

  std::array<std::uint8_t, kMaxKeySize> padded{};
  std::copy(key, key + size, padded.begin());
  detail::AesExpandKey(padded.data(), rounds_, User().data());
  detail::AesMakeDecryptSchedule(User().data(), rounds_, User().data() + detail::kAesScheduleBytes);
  SecureWipe(padded);

  LoadVector(ivector);
}

void RijndaelCipher::EncryptBlock(std::uint8_t* block) {
  if (AesInstructionsInUse()) {
    detail::AesHwEncryptBlock(EncryptSchedule(), rounds_, block);
  } else {
    detail::AesEncryptBlockPortable(EncryptSchedule(), rounds_, block);
  }
}

void RijndaelCipher::DecryptBlock(std::uint8_t* block) {
  if (AesInstructionsInUse()) {
    detail::AesHwDecryptBlock(DecryptSchedule(), rounds_, block);
  } else {
    detail::AesDecryptBlockPortable(DecryptSchedule(), rounds_, block);
  }
}

void RijndaelCipher::CodeCounterBlocks(std::uint64_t& counter, std::uint64_t high,
                                       std::uint8_t* data, std::size_t blocks) {
  if (AesInstructionsInUse()) {
    detail::AesHwCtrBlocks(EncryptSchedule(), rounds_, counter, high, data, data, blocks);
  } else {
    // The portable transform called directly: no per-block dispatch.
    std::uint8_t block[kBlockSize];
    for (; blocks > 0; --blocks, data += kBlockSize) {
      const std::uint64_t value = ++counter;
      for (int i = 0; i < 8; ++i) block[i] = static_cast<std::uint8_t>(value >> (8 * i));
      std::memcpy(block + 8, &high, 8);
      detail::AesEncryptBlockPortable(EncryptSchedule(), rounds_, block);
      for (int i = 0; i < kBlockSize; ++i) data[i] ^= block[i];
    }
    SecureWipe(block);
  }
}

}  // namespace qm::crypto
