#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "crypto/hash_descriptor.h"

namespace qm::crypto {

enum Pbkdf2Status : int {
  kPbkdf2Done = 0,
  kPbkdf2NoDescriptor = 1,
  kPbkdf2NoDigest = 2,
  kPbkdf2OutputTooLong = 3,  // more than (2^32 - 1) blocks, the limit of RFC 2898
};

// PBKDF2 (RFC 2898, section 5.2) with HMAC over `descriptor`, the password as HMAC key.
// Iterations of 0 or less give zero output.
int Pbkdf2(const HashDescriptor* descriptor, const void* password, std::size_t password_length,
           std::size_t output_length, std::uint8_t* output, int iterations, std::size_t salt_length,
           const void* salt);

// Fills a new salt. The default draws each byte from 0 to 254 from a generator seeded from the
// clock; tests install their own to make encrypted output repeatable. Null restores the
// default. Process-wide.
using SaltGenerator = std::function<void(std::span<std::uint8_t> salt)>;
void SetSaltGenerator(SaltGenerator generator);

// PBKDF2-HMAC-SHA1 with a fixed password, salt and iteration count.
class PBKDF2 {
 public:
  // A fresh salt of `salt_size` bytes from the salt generator.
  PBKDF2(std::string password, int salt_size, int iterations);
  PBKDF2(std::string password, const std::uint8_t* salt, int salt_length, int iterations);
  ~PBKDF2();

  // `cb` bytes of derived key; empty for cb <= 0. Passwords and outputs of any length are
  // taken in full.
  std::vector<std::uint8_t> GetKeyBytes(int cb) const;
  std::vector<std::uint8_t> GetSaltValue() const { return salt_value_; }
  int IterationCount() const { return iteration_number_; }
  void Initialize() {}
  void Reset() {}

 private:
  int iteration_number_;
  std::vector<std::uint8_t> salt_value_;
  int salt_length_;
  std::string password_;
};

}  // namespace qm::crypto
