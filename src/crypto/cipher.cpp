#include "crypto/cipher.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "crypto/crypto_errors.h"
#include "crypto/hash.h"
#include "crypto/ripemd256_hash.h"
#include "crypto/wipe.h"

namespace qm::crypto {
namespace {

std::atomic<bool> g_strict_key_size{false};

void XorInto(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) dst[i] ^= src[i];
}

std::uint64_t LoadLe64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

void StoreLe64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i, v >>= 8) p[i] = static_cast<std::uint8_t>(v);
}

}  // namespace

void SetStrictKeySize(bool strict) {
  g_strict_key_size.store(strict);
}
bool StrictKeySize() {
  return g_strict_key_size.load();
}

Cipher::Cipher(std::shared_ptr<Protection> protection)
    : Protection(std::move(protection)), hash_class_(&RipeMD256Hash::Create) {}

Cipher::~Cipher() {
  // The concrete part is already gone here, so wipe without virtual dispatch.
  SecureWipe(buffer_);
  SecureWipe(vector_);
  SecureWipe(feedback_);
  SecureWipe(user_);
  SecureWipe(ctr_encryption_block_);
  SecureWipe(ctr_nonce_);
}

void Cipher::Setup() {
  CipherSizes(buf_size_, key_size_, user_size_);
  buffer_.assign(static_cast<std::size_t>(buf_size_), 0);
  vector_.assign(static_cast<std::size_t>(buf_size_), 0);
  feedback_.assign(static_cast<std::size_t>(buf_size_), 0);
  user_.assign(static_cast<std::size_t>(user_size_), 0);
  ctr_encryption_block_.assign(static_cast<std::size_t>(buf_size_), 0);
  ctr_nonce_.assign(static_cast<std::size_t>(buf_size_), 0);
  Protect();
}

void Cipher::SetStateFlag(int index, bool value) {
  const std::uint32_t bit = 1u << index;
  flags_ = value ? (flags_ | bit) : (flags_ & ~bit);
}

void Cipher::LoadVector(const std::uint8_t* ivector) {
  if (ivector != nullptr) {
    std::memcpy(vector_.data(), ivector, vector_.size());
  } else {
    EncryptBlock(vector_.data());
  }
  feedback_ = vector_;
  SetStateFlag(kFlagReady, true);
}

void Cipher::Done() {
  if (feedback_ != vector_) {
    buffer_ = feedback_;
    feedback_ = vector_;
  }
}

void Cipher::Protect() {
  SetStateFlag(kFlagKeySet, false);
  SetStateFlag(kFlagReady, false);
  has_hash_key_ = false;
  for (std::uint8_t pattern : {std::uint8_t{0xAA}, std::uint8_t{0x55}}) {
    std::fill(vector_.begin(), vector_.end(), pattern);
    std::fill(feedback_.begin(), feedback_.end(), pattern);
    std::fill(buffer_.begin(), buffer_.end(), pattern);
    std::fill(user_.begin(), user_.end(), pattern);
  }
  std::fill(vector_.begin(), vector_.end(), 0xFF);
  std::fill(feedback_.begin(), feedback_.end(), 0xFF);
  SecureWipe(buffer_);
  SecureWipe(user_);
  RestartCounter();
}

// A new key must not reuse keystream of the old one, and enciphering the caller's key in
// counter mode must not use up counter values: both leave the counter as a new cipher has it.
void Cipher::RestartCounter() {
  SecureWipe(ctr_nonce_);
  SecureWipe(ctr_encryption_block_);
  ctr_position_ = buf_size_;
}

bool Cipher::SelfTest() {
  const auto ref = ReferenceVector();
  const auto key_len = static_cast<std::size_t>(key_size_);
  const auto block_len = static_cast<std::size_t>(buf_size_);
  if (ref.size() < key_len + 2 * block_len) return false;
  Init(ref.data(), key_size_, nullptr);
  std::vector<std::uint8_t> block(ref.begin() + key_len, ref.begin() + key_len + block_len);
  EncryptBlock(block.data());
  bool ok = std::equal(block.begin(), block.end(), ref.begin() + key_len + block_len);
  DecryptBlock(block.data());
  ok = ok && std::equal(block.begin(), block.end(), ref.begin() + key_len);
  Protect();
  return ok;
}

std::shared_ptr<crypto::Hash> Cipher::Hash() {
  if (!hash_) hash_ = hash_class_();
  return hash_;
}

void Cipher::SetHashClass(HashFactory hash_class) {
  if (hash_class == nullptr) hash_class = &RipeMD256Hash::Create;
  if (hash_class != hash_class_) {
    hash_class_ = hash_class;
    hash_.reset();
  }
}

void Cipher::InitKey(const std::string& key, const std::uint8_t* ivector) {
  auto hash = Hash();
  hash->Init();
  hash->Calc(key.data(), key.size());
  hash->Done();
  const auto digest = hash->DigestKey();
  std::vector<std::uint8_t> key_bytes(digest.begin(), digest.end());
  hash->Init();  // the hash object must not keep the key either
  const int size = std::min<int>(key_size_, static_cast<int>(key_bytes.size()));
  Init(key_bytes.data(), size, ivector);
  EncodeBuffer(key_bytes.data(), key_bytes.data(), key_bytes.size());
  SecureWipe(key_bytes);
  RestartCounter();
  Done();
  SetStateFlag(kFlagKeySet, true);
  has_hash_key_ = true;
}

void Cipher::InitKey(std::span<std::uint8_t> key, const std::uint8_t* ivector) {
  const int size =
      static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(key_size_), key.size()));
  if (StrictKeySize() && key.size() > static_cast<std::size_t>(key_size_)) {
    Init(key.data(), static_cast<int>(std::min<std::size_t>(key.size(), 0x7FFFFFFF)), ivector);
  } else {
    Init(key.data(), size, ivector);
  }
  EncodeBuffer(key.data(), key.data(), key.size());
  RestartCounter();
  Done();
  SetStateFlag(kFlagKeySet, true);
}

void Cipher::CheckReady() const {
  if (!Initialized()) {
    throw CipherException(
        CipherException::kNotInitialized,
        detail::FormatMessage(messages::kNotInitialized, {std::string(ClassName())}));
  }
}

void Cipher::EncodeBuffer(const std::uint8_t* source, std::uint8_t* dest, std::size_t size) {
  CheckReady();
  if (size == 0) return;
  if (source != dest) std::memmove(dest, source, size);
  EncodeInPlace(dest, size);
}

void Cipher::DecodeBuffer(const std::uint8_t* source, std::uint8_t* dest, std::size_t size) {
  CheckReady();
  if (size == 0) return;
  if (source != dest) std::memmove(dest, source, size);
  DecodeInPlace(dest, size);
}

void Cipher::CodeCounterBlocks(std::uint64_t& counter, std::uint64_t high, std::uint8_t* data,
                               std::size_t blocks) {
  std::uint8_t block[16];
  for (; blocks > 0; --blocks, data += 16) {
    StoreLe64(block, ++counter);
    std::memcpy(block + 8, &high, 8);
    EncryptBlock(block);
    XorInto(data, block, 16);
  }
  SecureWipe(std::span<std::uint8_t>(block));
}

void Cipher::CodeCounter(std::uint8_t* data, std::size_t size) {
  const auto n = static_cast<std::size_t>(buf_size_);
  std::size_t i = 0;
  auto pos = static_cast<std::size_t>(ctr_position_);
  while (i < size && pos < n) data[i++] ^= ctr_encryption_block_[pos++];
  if (n == 16 && size - i >= 16) {
    const std::size_t blocks = (size - i) / 16;
    std::uint64_t counter = LoadLe64(ctr_nonce_.data());
    std::uint64_t high;
    std::memcpy(&high, ctr_nonce_.data() + 8, 8);
    CodeCounterBlocks(counter, high, data + i, blocks);
    StoreLe64(ctr_nonce_.data(), counter);
    i += blocks * 16;
  }
  while (i < size) {
    if (pos == n) {
      StoreLe64(ctr_nonce_.data(), LoadLe64(ctr_nonce_.data()) + 1);
      std::copy(ctr_nonce_.begin(), ctr_nonce_.end(), ctr_encryption_block_.begin());
      EncryptBlock(ctr_encryption_block_.data());
      pos = 0;
    }
    data[i++] ^= ctr_encryption_block_[pos++];
  }
  ctr_position_ = static_cast<int>(pos);
}

// Byte-wise feedback modes: each byte takes the first byte of E(F); F shifts left one byte
// and takes the cipher byte (CFB) or the keystream byte (OFB).
void Cipher::CodeFeedbackByte(std::uint8_t* data, std::size_t size, bool decode, bool keep_output,
                              bool feed_keystream) {
  const auto n = static_cast<std::size_t>(buf_size_);
  for (std::size_t i = 0; i < size; ++i) {
    std::copy(feedback_.begin(), feedback_.end(), buffer_.begin());
    EncryptBlock(buffer_.data());
    const std::uint8_t in = data[i];
    const std::uint8_t out = static_cast<std::uint8_t>(in ^ buffer_[0]);
    const std::uint8_t fed = feed_keystream ? buffer_[0] : (decode ? in : out);
    std::memmove(feedback_.data(), feedback_.data() + 1, n - 1);
    feedback_[n - 1] = fed;
    if (!keep_output) data[i] = out;
  }
}

// The final short block of CTS and CBC (and their MAC forms): B := E(F); data ^= B; F ^= B.
void Cipher::CodeTail(std::uint8_t* data, std::size_t size, bool keep_output) {
  buffer_ = feedback_;
  EncryptBlock(buffer_.data());
  if (!keep_output) XorInto(data, buffer_.data(), size);
  XorInto(feedback_.data(), buffer_.data(), feedback_.size());
}

void Cipher::EncodeInPlace(std::uint8_t* data, std::size_t size) {
  const auto n = static_cast<std::size_t>(buf_size_);
  const std::size_t full = size / n * n;
  std::uint8_t* const end = data + full;
  switch (mode_) {
    case CipherMode::cmCTR:
      CodeCounter(data, size);
      return;
    case CipherMode::cmCFB:
      CodeFeedbackByte(data, size, false, false, false);
      return;
    case CipherMode::cmOFB:
      CodeFeedbackByte(data, size, false, false, true);
      return;
    case CipherMode::cmCFBMAC:
      CodeFeedbackByte(data, size, false, true, false);
      return;
    case CipherMode::cmECB:
      for (std::uint8_t* p = data; p < end; p += n) EncryptBlock(p);
      if (size > full) {
        std::memcpy(buffer_.data(), end, size - full);
        EncryptBlock(buffer_.data());
        std::memcpy(end, buffer_.data(), size - full);
      }
      return;
    case CipherMode::cmCTS:
    case CipherMode::cmCTSMAC:
    case CipherMode::cmCBC:
    case CipherMode::cmCBCMAC: {
      const bool mac = mode_ == CipherMode::cmCTSMAC || mode_ == CipherMode::cmCBCMAC;
      const bool cts = mode_ == CipherMode::cmCTS || mode_ == CipherMode::cmCTSMAC;
      for (std::uint8_t* p = data; p < end; p += n) {
        std::copy(p, p + n, buffer_.begin());
        XorInto(buffer_.data(), feedback_.data(), n);
        EncryptBlock(buffer_.data());
        if (!mac) std::copy(buffer_.begin(), buffer_.end(), p);
        if (cts) {
          XorInto(feedback_.data(), buffer_.data(), n);
        } else {
          feedback_ = buffer_;
        }
      }
      if (size > full) CodeTail(end, size - full, mac);
      return;
    }
  }
}

void Cipher::DecodeInPlace(std::uint8_t* data, std::size_t size) {
  const auto n = static_cast<std::size_t>(buf_size_);
  const std::size_t full = size / n * n;
  std::uint8_t* const end = data + full;
  switch (mode_) {
    case CipherMode::cmCTR:
    case CipherMode::cmOFB:
    case CipherMode::cmCTSMAC:
    case CipherMode::cmCBCMAC:
    case CipherMode::cmCFBMAC:
      // Symmetric, or (the MAC forms) the data is left alone and F evolves the same way.
      EncodeInPlace(data, size);
      return;
    case CipherMode::cmCFB:
      CodeFeedbackByte(data, size, true, false, false);
      return;
    case CipherMode::cmECB:
      for (std::uint8_t* p = data; p < end; p += n) DecryptBlock(p);
      if (size > full) {
        std::memcpy(buffer_.data(), end, size - full);
        DecryptBlock(buffer_.data());
        std::memcpy(end, buffer_.data(), size - full);
      }
      return;
    case CipherMode::cmCTS:
    case CipherMode::cmCBC: {
      const bool cts = mode_ == CipherMode::cmCTS;
      for (std::uint8_t* p = data; p < end; p += n) {
        std::copy(p, p + n, buffer_.begin());  // the cipher block, needed for F
        DecryptBlock(p);
        XorInto(p, feedback_.data(), n);
        if (cts) {
          XorInto(feedback_.data(), buffer_.data(), n);
        } else {
          feedback_ = buffer_;
        }
      }
      if (size > full) CodeTail(end, size - full, false);
      return;
    }
  }
}

void Cipher::ScrambleFeedback() {
  ScrambleWithClock(feedback_);
}

void Cipher::BeginCoding(PAction action) {
  CheckReady();
  if (action == PAction::paWipe) {
    ScrambleFeedback();
  } else if (action != PAction::paCalc) {
    Done();
  }
  Protection::BeginCoding(action);
}

void Cipher::EndCoding(PAction action) {
  Protection::EndCoding(action);
  if (action == PAction::paWipe) {
    ScrambleFeedback();
  } else if (action != PAction::paCalc) {
    Done();
  }
}

void Cipher::CodeChunk(std::uint8_t* buffer, std::size_t size, PAction action) {
  if (action == PAction::paDecode) {
    if (actions_.Contains(action)) DecodeBuffer(buffer, buffer, size);
    Protection::CodeChunk(buffer, size, action);
  } else {
    Protection::CodeChunk(buffer, size, action);
    if (actions_.Contains(action)) EncodeBuffer(buffer, buffer, size);
  }
}

}  // namespace qm::crypto
