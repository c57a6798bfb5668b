#include "archive/encryption/aes_crypto_transform.h"

#include <algorithm>
#include <stdexcept>

#include "archive/directory/dir_item.h"
#include "archive/encryption/encryption_random.h"
#include "crypto/hash_registry.h"
#include "crypto/pbkdf2.h"
#include "crypto/rijndael_cipher.h"
#include "crypto/sha1.h"
#include "crypto/wipe.h"
#include "platform/stream.h"

namespace qm::archive {
namespace {

void Wipe(std::vector<std::uint8_t>& bytes) {
  crypto::SecureWipe(bytes);
  bytes.clear();
}

// Reads what the stream has, up to the buffer's size; the rest stays zero.
void ReadAvailable(platform::Stream& stream, std::span<std::uint8_t> into) {
  std::fill(into.begin(), into.end(), std::uint8_t{0});
  std::size_t got = 0;
  while (got < into.size()) {
    const std::size_t n = stream.Read(into.data() + got, into.size() - got);
    if (n == 0) break;
    got += n;
  }
}

// Compares in time that does not depend on where the first difference is.
bool SameBytes(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  if (a.size() != b.size()) return false;
  std::uint8_t diff = 0;
  for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<std::uint8_t>(a[i] ^ b[i]);
  return diff == 0;
}

void CheckRoom(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) {
  if (output.size() < input.size()) {
    throw std::invalid_argument("AES transform: output buffer smaller than input");
  }
}

}  // namespace

AESCryptoTransform::AESCryptoTransform(int strength, std::uint16_t crypt_version,
                                       std::uint16_t actual_comp_method)
    : key_length_bytes_((strength + 4) / 8),
      version_(crypt_version),
      actual_compression_method_(actual_comp_method) {
  if (strength != 128 && strength != 192 && strength != 256) {
    throw std::invalid_argument("AES transform: key strength must be 128, 192 or 256 bits");
  }
  p_hash_ = crypto::HashByName("SHA1");
  if (p_hash_ == nullptr) p_hash_ = &crypto::Sha1Descriptor();
}

AESCryptoTransform::~AESCryptoTransform() {
  WipeKeys();
  Wipe(salt_value_);
}

void AESCryptoTransform::WipeKeys() {
  key_generator_.reset();
  cryptor_.reset();
  if (hmac_running_)
    crypto::SecureWipe(
        std::span(reinterpret_cast<std::uint8_t*>(&hmac_context_), sizeof hmac_context_));
  hmac_running_ = false;
  Wipe(computed_mac_);
  Wipe(hash_key_);
  Wipe(encryption_key_);
  Wipe(password_verification_value_);
  crypto::SecureWipe(derived_verifier_);
  Wipe(authentication_code_);
  crypto::SecureWipe(
      std::span(reinterpret_cast<std::uint8_t*>(password_.data()), password_.size()));
  password_.clear();
}

void AESCryptoTransform::GenerateKey(const std::string& password) {
  const std::string kept = password;  // the argument may be password_ itself
  WipeKeys();
  password_ = kept;
  const auto salt_length = static_cast<std::size_t>(key_length_bytes_ / 2);
  if (transform_mode_ == CryptoTransformMode::Decryption) {
    // Without the item's salt there is nothing to derive yet: loading the start block makes
    // the keys. Deriving from a made-up salt first would only double the cost of every item.
    if (salt_value_.size() == salt_length) DeriveKeys();
    return;
  }
  salt_value_.assign(salt_length, 0);
  FillEncryptionRandom(salt_value_);
  DeriveKeys();
}

void AESCryptoTransform::DeriveKeys() {
  const auto k = static_cast<std::size_t>(key_length_bytes_);
  key_generator_ = std::make_unique<crypto::PBKDF2>(
      password_, salt_value_.data(), static_cast<int>(salt_value_.size()), kIterations);
  std::vector<std::uint8_t> derived = key_generator_->GetKeyBytes(static_cast<int>(2 * k + 2));
  Wipe(encryption_key_);
  Wipe(hash_key_);
  Wipe(password_verification_value_);
  encryption_key_.assign(derived.begin(), derived.begin() + static_cast<std::ptrdiff_t>(k));
  hash_key_.assign(derived.begin() + static_cast<std::ptrdiff_t>(k),
                   derived.begin() + static_cast<std::ptrdiff_t>(2 * k));
  password_verification_value_.assign(derived.begin() + static_cast<std::ptrdiff_t>(2 * k),
                                      derived.end());
  derived_verifier_ = {derived[2 * k], derived[2 * k + 1]};
  crypto::SecureWipe(derived);

  if (hmac_running_)
    crypto::SecureWipe(
        std::span(reinterpret_cast<std::uint8_t*>(&hmac_context_), sizeof hmac_context_));
  crypto::HmacInit(hmac_context_, p_hash_, hash_key_.data(), hash_key_.size());
  hmac_running_ = true;
  Wipe(computed_mac_);

  // The cipher overwrites the buffer it is keyed from, so it gets a copy.
  std::vector<std::uint8_t> key_copy = encryption_key_;
  cryptor_ = std::make_unique<crypto::RijndaelCipher>(std::span(key_copy));
  crypto::SecureWipe(key_copy);
  cryptor_->SetMode(crypto::CipherMode::cmCTR);
}

std::array<std::uint8_t, 2> AESCryptoTransform::VerifierFor(const std::string& password) const {
  const auto k = static_cast<std::size_t>(key_length_bytes_);
  const crypto::PBKDF2 generator(password, salt_value_.data(), static_cast<int>(salt_value_.size()),
                                 kIterations);
  std::vector<std::uint8_t> derived = generator.GetKeyBytes(static_cast<int>(2 * k + 2));
  const std::array<std::uint8_t, 2> verifier{derived[2 * k], derived[2 * k + 1]};
  crypto::SecureWipe(derived);
  return verifier;
}

bool AESCryptoTransform::CheckPassword(const std::string& password, const DirItem& /*item*/) {
  if (password_verification_value_.size() != kAesVerifierLength) return false;
  // The password the keys were just made from needs no second key derivation: its verifier
  // was kept when they were made. Any other password is derived afresh; the keys stay.
  if (cryptor_ && password == password_) {
    return SameBytes(derived_verifier_, password_verification_value_);
  }
  return SameBytes(VerifierFor(password), password_verification_value_);
}

void AESCryptoTransform::Reset() {
  // The strength stays: a reset transform can be keyed again for the same kind of item.
  WipeKeys();
  Wipe(salt_value_);
}

void AESCryptoTransform::RequireKeys() const {
  if (!cryptor_ || !hmac_running_) {
    throw std::logic_error("AES transform used before GenerateKey");
  }
}

std::size_t AESCryptoTransform::DecryptBuffer(std::span<const std::uint8_t> input,
                                              std::span<std::uint8_t> output) {
  RequireKeys();
  CheckRoom(input, output);
  // An empty chunk (an empty item's data) may come without any buffer at all; the hash must
  // not be handed a null pointer.
  if (input.empty()) return 0;
  // The code authenticates the ciphertext, so it sees the bytes before they are decrypted.
  crypto::HmacUpdate(hmac_context_, input.data(), input.size());
  cryptor_->DecodeBuffer(input.data(), output.data(), input.size());
  return input.size();
}

std::size_t AESCryptoTransform::EncryptBuffer(std::span<const std::uint8_t> input,
                                              std::span<std::uint8_t> output) {
  RequireKeys();
  CheckRoom(input, output);
  if (input.empty()) return 0;
  cryptor_->EncodeBuffer(input.data(), output.data(), input.size());
  crypto::HmacUpdate(hmac_context_, output.data(), input.size());
  return input.size();
}

std::vector<std::uint8_t> AESCryptoTransform::GetFileStorageStartBlock() {
  RequireKeys();
  std::vector<std::uint8_t> block = salt_value_;
  block.insert(block.end(), password_verification_value_.begin(),
               password_verification_value_.end());
  return block;
}

void AESCryptoTransform::LoadFileStorageStartBlock(platform::Stream& stream, std::int64_t offset) {
  if (offset != 0) stream.Seek(offset, platform::Stream::Origin::kCurrent);
  salt_value_.assign(static_cast<std::size_t>(key_length_bytes_ / 2), 0);
  ReadAvailable(stream, salt_value_);
  DeriveKeys();
  std::array<std::uint8_t, kAesVerifierLength> stored{};
  ReadAvailable(stream, stored);
  password_verification_value_.assign(stored.begin(), stored.end());
}

int AESCryptoTransform::GetFileStorageStartBlockSize() const {
  return key_length_bytes_ / 2 + static_cast<int>(kAesVerifierLength);
}

std::span<const std::uint8_t> AESCryptoTransform::FinishedMac() {
  if (computed_mac_.empty()) {
    RequireKeys();
    std::array<std::uint8_t, crypto::kMaxHashDigestSize> mac{};
    crypto::HmacFinal(hmac_context_, mac.data());
    hmac_running_ = false;
    computed_mac_.assign(mac.begin(), mac.begin() + authentication_code_size_);
    crypto::SecureWipe(mac);
  }
  return computed_mac_;
}

std::vector<std::uint8_t> AESCryptoTransform::GetFileStorageEndBlock() {
  if (version_ == 1) return {};
  const auto mac = FinishedMac();
  authentication_code_.assign(mac.begin(), mac.end());
  return authentication_code_;
}

void AESCryptoTransform::LoadFileStorageEndBlock(platform::Stream& stream, std::int64_t offset) {
  if (version_ == 1) return;
  if (offset != 0) stream.Seek(offset, platform::Stream::Origin::kCurrent);
  authentication_code_.assign(static_cast<std::size_t>(authentication_code_size_), 0);
  ReadAvailable(stream, authentication_code_);
}

int AESCryptoTransform::GetFileStorageEndBlockSize() const {
  return version_ == 1 ? 0 : authentication_code_size_;
}

bool AESCryptoTransform::IsDirItemCorrupted(const DirItem& item, std::uint32_t crc32) {
  if (version_ == 1) return item.CentralDir.crc32 != crc32;
  if (!cryptor_ && computed_mac_.empty()) return true;
  return !SameBytes(FinishedMac(), authentication_code_);
}

ExtraFieldDataBlock AESCryptoTransform::GetExtraFieldData() const {
  AesExtraField field;
  field.vendorVersion = version_;
  field.strength = static_cast<std::uint8_t>(key_length_bytes_ / 8 - 1);
  field.actualCompMethod = actual_compression_method_;
  ExtraFieldDataBlock block;
  block.headerID = extra_id::kAes;
  ByteWriter out(block.data);
  field.EncodeTo(out);
  block.dataSize = static_cast<std::uint16_t>(block.data.size());
  return block;
}

}  // namespace qm::archive
