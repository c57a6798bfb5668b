#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "crypto/protection.h"

namespace qm::crypto {

// Base of the hash objects. As a protection a hash computes a digest (paCalc), replaces data
// by digests (paScramble, paWipe) or XORs it with a keystream made by feeding the digest back
// (paEncode, paDecode).
class Hash : public Protection {
 public:
  using Protection::Protection;

  void BeginCoding(PAction action) override;
  void EndCoding(PAction action) override;
  void CodeChunk(std::uint8_t* buffer, std::size_t size, PAction action) override;

  // The digest of SelfTestPattern() under this algorithm.
  virtual std::span<const std::uint8_t> ReferenceVector() const = 0;
  virtual void Init() = 0;
  virtual void Calc(const void* data, std::size_t size) = 0;
  virtual void Done() = 0;
  // The digest after Done(); between Init() and Done() the running chaining value.
  virtual std::span<const std::uint8_t> DigestKey() = 0;
  virtual int DigestKeySize() const = 0;
  // A fresh object of the same class chained to `protection`.
  virtual std::shared_ptr<Hash> NewInstance(std::shared_ptr<Protection> protection) const = 0;

  // The current digest as text in `format` (see string_format.h).
  std::string DigestStr(int format);
  // Each of these hashes with a fresh object of this class chained to `protection` (which
  // codes every chunk before it is hashed) and answers the digest as text in `format`.
  std::string CalcBuffer(const void* buffer, std::size_t size,
                         std::shared_ptr<Protection> protection, int format) const;
  // A negative `size` hashes the whole stream from position 0.
  std::string CalcStream(platform::Stream& stream, std::int64_t size,
                         std::shared_ptr<Protection> protection, int format) const;
  std::string CalcString(const std::string& data, std::shared_ptr<Protection> protection,
                         int format) const;
  std::string CalcFile(const std::u16string& file_name, std::shared_ptr<Protection> protection,
                       int format) const;
  bool SelfTest() const;

  static std::span<const std::uint8_t> SelfTestPattern();

 protected:
  // Overwrites the digest buffer, for paWipe.
  virtual void ScrambleDigest() = 0;
};

}  // namespace qm::crypto
