#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archive/encryption/classic_cipher.h"
#include "archive/encryption/item_decipher.h"
#include "archive/encryption/item_encipher.h"
#include "archive/format/records.h"

namespace qm::archive {

// The classic (ZipCrypto) cipher reading one item. The check byte comes from the flags, time
// and CRC of `local`.
class ClassicDecipher final : public ItemDecipher {
 public:
  explicit ClassicDecipher(const ZipLocalHeader& local) : local_(local) {}

  std::int64_t HeaderSize() const override { return kClassicHeaderLength; }
  std::int64_t TrailerSize() const override { return 0; }
  // An empty password is wrong (its header is skipped unread).
  bool CheckPassword(platform::Stream& archive, const std::string& password) override;
  void Decrypt(std::span<std::uint8_t> chunk) override { ClassicDecrypt(keys_, chunk); }
  // `crc` against the item's recorded CRC.
  bool Verify(platform::Stream& archive, const DirItem& item, std::uint32_t crc) override;

 private:
  ZipLocalHeader local_;
  ClassicKeys keys_;
};

// The classic cipher writing one item. Its header carries the high bytes of `crc32`, the CRC
// of the item's plain data, which the writer must know before it writes any data.
class ClassicEncipher final : public ItemEncipher {
 public:
  ClassicEncipher(const std::string& password, std::uint32_t crc32);

  std::vector<std::uint8_t> Header() override;
  void Encrypt(std::span<std::uint8_t> chunk) override;
  std::vector<std::uint8_t> Trailer() override { return {}; }
  std::uint64_t Overhead() const override { return kClassicHeaderLength; }
  std::uint16_t HeaderMethod(std::uint16_t actual_method) const override { return actual_method; }
  std::optional<ExtraFieldDataBlock> ExtraField() const override { return std::nullopt; }

 private:
  ClassicKeys keys_;
  std::uint32_t crc32_;
};

}  // namespace qm::archive
