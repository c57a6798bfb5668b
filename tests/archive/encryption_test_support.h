#pragma once

// Helpers of the encryption tests: repeatable randomness, and items encrypted by our own
// transforms into memory.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "archive/archive_types.h"
#include "archive/directory/dir_item.h"
#include "archive/encryption/encryption_random.h"

namespace qm::archive::testing {

// Makes the encryption random source repeatable while it lives: byte i of the stream of
// random bytes is seed + i.
class RepeatableRandom {
 public:
  explicit RepeatableRandom(std::uint8_t seed = 1) {
    SetEncryptionRandomSource([next = seed](std::span<std::uint8_t> bytes) mutable {
      for (auto& b : bytes) b = next++;
    });
  }
  ~RepeatableRandom() { SetEncryptionRandomSource(nullptr); }
  RepeatableRandom(const RepeatableRandom&) = delete;
  RepeatableRandom& operator=(const RepeatableRandom&) = delete;
};

std::vector<std::uint8_t> Bytes(const std::string& text);
std::uint32_t Crc32(std::span<const std::uint8_t> data);
// Raw deflate, as it stands in an archive.
std::vector<std::uint8_t> RawDeflate(std::span<const std::uint8_t> data);
// Inflates raw deflate data; false when it is not a complete valid stream.
bool RawInflate(std::span<const std::uint8_t> data, std::vector<std::uint8_t>& out);

// An item as stored: what the item encipher puts around the (compressed) data, with the header
// fields a writer needs.
struct StoredItem {
  std::vector<std::uint8_t> data;  // header, encrypted data, trailer
  std::uint16_t compMethod = 0;
  std::uint32_t crc32 = 0;
  std::vector<ExtraFieldDataBlock> extra;
};
StoredItem EncryptItem(CryptoAlgorithm algorithm, const std::string& password,
                       std::span<const std::uint8_t> plain, bool deflate);

// One entry of an archive written by the tests.
struct PlainEntry {
  std::string name;
  std::vector<std::uint8_t> data;
  bool deflate = false;
};
// A complete archive of encrypted entries, records written with records.h.
std::vector<std::uint8_t> BuildEncryptedArchive(const std::vector<PlainEntry>& entries,
                                                CryptoAlgorithm algorithm,
                                                const std::string& password);

}  // namespace qm::archive::testing
