#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "crypto/protection.h"

namespace qm::crypto {

class Hash;
// Makes a fresh hash object; stands for a hash class where a class is chosen at run time.
using HashFactory = std::shared_ptr<Hash> (*)();

// When on, a key longer than a cipher's largest key is refused (CipherException code 2)
// instead of being cut. Off by default; process-wide.
void SetStrictKeySize(bool strict);
bool StrictKeySize();

enum class CipherMode { cmCTS, cmCBC, cmCFB, cmOFB, cmCTR, cmECB, cmCTSMAC, cmCBCMAC, cmCFBMAC };

// Block-cipher base with the nine chaining modes. A concrete cipher supplies its sizes, its
// block transforms and its key setup; construction finishes in the concrete class (Setup()),
// because the sizes come from a virtual call.
//
// Counter mode is the same for encoding and decoding: the counter block's first 8 bytes are a
// little-endian number incremented before each keystream block (bytes 8.. never change), so
// the first block enciphers the value 1. The keystream position carries over between calls;
// only a new key restarts the counter.
class Cipher : public Protection {
 public:
  static constexpr int kFlagKeySet = 0;
  static constexpr int kFlagReady = 1;

  ~Cipher() override;

  void BeginCoding(PAction action) override;
  void EndCoding(PAction action) override;
  void CodeChunk(std::uint8_t* buffer, std::size_t size, PAction action) override;

  virtual void SetStateFlag(int index, bool value);
  // The vector is the first BufSize() bytes of `ivector`, or, when null, the encryption of
  // the current vector (all 0xFF after a wipe). Makes the cipher ready.
  virtual void LoadVector(const std::uint8_t* ivector);
  virtual void CipherSizes(int& buf_size, int& key_size, int& user_size) const = 0;
  // Known-answer data for SelfTest(): a key of KeySize() bytes, a plain block, its cipher block.
  virtual std::span<const std::uint8_t> ReferenceVector() const = 0;
  virtual void EncryptBlock(std::uint8_t* block) = 0;
  virtual void DecryptBlock(std::uint8_t* block) = 0;
  // Sets up the key schedule from `size` key bytes and loads the vector.
  virtual void Init(const std::uint8_t* key, int size, const std::uint8_t* ivector) = 0;
  // Ends a message: the chaining state goes back to the vector.
  virtual void Done();
  // Wipes the key schedule and chaining state; the cipher must be keyed again.
  virtual void Protect();

  int MaxKeySize() const { return key_size_; }
  // Runs the known-answer test on this object; it is left without a key.
  bool SelfTest();

  // Keys the cipher with the digest of `key` under HashClass().
  void InitKey(const std::string& key, const std::uint8_t* ivector);
  // Keys the cipher with raw bytes (at most KeySize() are used). The caller's buffer is then
  // overwritten with the key enciphered under itself, so the raw key does not linger there.
  void InitKey(std::span<std::uint8_t> key, const std::uint8_t* ivector);

  // Source and dest may be the same buffer. Throw CipherException code 3 when not ready.
  void EncodeBuffer(const std::uint8_t* source, std::uint8_t* dest, std::size_t size);
  void DecodeBuffer(const std::uint8_t* source, std::uint8_t* dest, std::size_t size);

  CipherMode Mode() const { return mode_; }
  void SetMode(CipherMode mode) { mode_ = mode; }
  // The hash that turns text keys into key bytes, made from HashClass() on first use.
  std::shared_ptr<crypto::Hash> Hash();
  HashFactory HashClass() const { return hash_class_; }
  void SetHashClass(HashFactory hash_class);
  int KeySize() const { return key_size_; }
  int BufSize() const { return buf_size_; }
  bool Initialized() const { return (flags_ >> kFlagReady) & 1u; }
  std::span<const std::uint8_t> Vector() const { return vector_; }
  std::span<const std::uint8_t> Feedback() const { return feedback_; }
  bool HasHashKey() const { return has_hash_key_; }

 protected:
  explicit Cipher(std::shared_ptr<Protection> protection = nullptr);
  // Allocates the buffers from CipherSizes() and wipes them; concrete constructors call it.
  void Setup();
  // Keystream for whole counter blocks; a cipher with a faster batch transform overrides it.
  // `counter` and `high` as described for the counter block; counter is left at the last used.
  virtual void CodeCounterBlocks(std::uint64_t& counter, std::uint64_t high, std::uint8_t* data,
                                 std::size_t blocks);

  std::vector<std::uint8_t>& User() { return user_; }
  void CheckReady() const;

 private:
  void EncodeInPlace(std::uint8_t* data, std::size_t size);
  void DecodeInPlace(std::uint8_t* data, std::size_t size);
  void CodeCounter(std::uint8_t* data, std::size_t size);
  void CodeFeedbackByte(std::uint8_t* data, std::size_t size, bool decode, bool keep_output,
                        bool feed_keystream);
  void CodeTail(std::uint8_t* data, std::size_t size, bool keep_output);
  void ScrambleFeedback();
  void RestartCounter();

  CipherMode mode_ = CipherMode::cmCTS;
  std::shared_ptr<crypto::Hash> hash_;
  HashFactory hash_class_;
  int key_size_ = 0;
  int buf_size_ = 0;
  int user_size_ = 0;
  std::vector<std::uint8_t> buffer_;
  std::vector<std::uint8_t> vector_;
  std::vector<std::uint8_t> feedback_;
  std::vector<std::uint8_t> user_;
  std::uint32_t flags_ = 0;
  bool has_hash_key_ = false;
  int ctr_position_ = 0;
  std::vector<std::uint8_t> ctr_encryption_block_;
  std::vector<std::uint8_t> ctr_nonce_;
};

}  // namespace qm::crypto
