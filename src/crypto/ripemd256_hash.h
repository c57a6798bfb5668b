#pragma once

#include <memory>

#include "crypto/md4_hash.h"

namespace qm::crypto {

// RIPEMD-256 as published by its designers: two RIPEMD-128 lines that exchange one chaining
// word after each round, eight state words, a 32-byte digest.
class RipeMD256Hash final : public MD4Hash {
 public:
  using MD4Hash::MD4Hash;
  static std::shared_ptr<Hash> Create() { return std::make_shared<RipeMD256Hash>(); }

  std::span<const std::uint8_t> ReferenceVector() const override;
  void Init() override;
  int DigestKeySize() const override { return 32; }
  std::shared_ptr<Hash> NewInstance(std::shared_ptr<Protection> protection) const override {
    return std::make_shared<RipeMD256Hash>(std::move(protection));
  }
  std::string_view ClassName() const override { return "TRipeMD256Hash"; }

 protected:
  void CompressBlock(const std::uint8_t* block) override;
};

}  // namespace qm::crypto
