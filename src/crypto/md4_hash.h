#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "crypto/hash.h"

namespace qm::crypto {

// MD4 (RFC 1320). Also the frame of RIPEMD-256, which shares its padding and byte order and
// only brings another compression function and start value.
class MD4Hash : public Hash {
 public:
  explicit MD4Hash(std::shared_ptr<Protection> protection = nullptr);
  ~MD4Hash() override;
  static std::shared_ptr<Hash> Create() { return std::make_shared<MD4Hash>(); }

  std::span<const std::uint8_t> ReferenceVector() const override;
  void Init() override;
  void Calc(const void* data, std::size_t size) override;
  void Done() override;
  std::span<const std::uint8_t> DigestKey() override;
  int DigestKeySize() const override { return 16; }
  std::shared_ptr<Hash> NewInstance(std::shared_ptr<Protection> protection) const override {
    return std::make_shared<MD4Hash>(std::move(protection));
  }
  std::string_view ClassName() const override { return "TMD4Hash"; }

 protected:
  virtual void CompressBlock(const std::uint8_t* block);
  void ScrambleDigest() override;

  // The message length in bytes. Kept in 64 bits, so messages of 4 GiB and more still get
  // their true length in the padding.
  std::uint64_t count_ = 0;
  std::array<std::uint8_t, 64> buffer_{};
  std::array<std::uint32_t, 10> digest_{};

 private:
  std::array<std::uint8_t, 40> digest_bytes_{};
};

}  // namespace qm::crypto
