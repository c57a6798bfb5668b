#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "archive/format/records.h"

namespace qm::platform {
class Stream;
}

namespace qm::archive {

struct DirItem;

enum class CryptoTransformMode { Encryption, Decryption };

// An item cipher with the blocks it stores around the item's data. Item coding calls it at
// three points: before the data (the start block: written, or loaded and checked against the
// password), on every chunk, and after the data (the end block: written, or loaded and
// checked). The classic cipher needs no object; AESCryptoTransform is the one implementation.
class CryptoTransform {
 public:
  virtual ~CryptoTransform() = default;
  CryptoTransform() = default;
  CryptoTransform(const CryptoTransform&) = delete;
  CryptoTransform& operator=(const CryptoTransform&) = delete;

  // Makes the keys from `password` (and the salt, read or new).
  virtual void GenerateKey(const std::string& password) = 0;
  // Whether `password` opens the item whose start block was loaded; changes no key.
  virtual bool CheckPassword(const std::string& password, const DirItem& item) = 0;
  virtual std::span<const std::uint8_t> GetKey() const = 0;
  virtual const std::string& GetPassword() const = 0;
  // Stores the mode; `item` is for transforms that need it.
  virtual void Initialize(CryptoTransformMode mode, const DirItem& item);
  // Forgets the password and every key.
  virtual void Reset() = 0;

  // Codes input.size() bytes into the start of `output` and answers the count. Input and
  // output may be the same bytes; an output shorter than the input is refused
  // (std::invalid_argument) before anything is written.
  virtual std::size_t DecryptBuffer(std::span<const std::uint8_t> input,
                                    std::span<std::uint8_t> output) = 0;
  virtual std::size_t EncryptBuffer(std::span<const std::uint8_t> input,
                                    std::span<std::uint8_t> output) = 0;

  // What precedes the data (a new buffer) and what follows it, and their sizes.
  virtual std::vector<std::uint8_t> GetFileStorageStartBlock() = 0;
  // Moves the stream `offset` bytes on from where it is and reads the start block there.
  virtual void LoadFileStorageStartBlock(platform::Stream& stream, std::int64_t offset) = 0;
  virtual int GetFileStorageStartBlockSize() const = 0;
  virtual std::vector<std::uint8_t> GetFileStorageEndBlock() = 0;
  virtual void LoadFileStorageEndBlock(platform::Stream& stream, std::int64_t offset) = 0;
  virtual int GetFileStorageEndBlockSize() const = 0;
  // After decryption: whether the item's data is damaged; `crc32` is the CRC of what it
  // decoded to.
  virtual bool IsDirItemCorrupted(const DirItem& item, std::uint32_t crc32) = 0;
  // The extra block that marks items of this cipher.
  virtual ExtraFieldDataBlock GetExtraFieldData() const = 0;

  CryptoTransformMode TransformMode() const { return transform_mode_; }

 protected:
  CryptoTransformMode transform_mode_ = CryptoTransformMode::Encryption;
};

}  // namespace qm::archive
