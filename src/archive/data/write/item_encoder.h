#pragma once

#include <cstdint>
#include <string>

#include "archive/archive_types.h"
#include "archive/data/item_data_events.h"
#include "archive/data/write/whole_source.h"
#include "archive/directory/dir_item.h"
#include "platform/stream.h"

namespace qm::archive {

// How one item is to be stored.
struct EncodeSettings {
  // 0 stored; 1 to 9 deflated at that level.
  std::uint8_t compression_mode = 0;
  // Empty: not encrypted.
  std::string password;
  // The cipher of an encrypted item.
  CryptoAlgorithm algorithm = CryptoAlgorithm::caPkzipClassic;
};

// What encoding one item came to.
struct EncodeOutcome {
  // The source's size when the encoding began, and how much of it reached the archive.
  std::int64_t source_size = 0;
  std::int64_t consumed = 0;
  // Bytes written: the compressed data plus what encryption adds around it.
  std::uint64_t compressed_size = 0;
  std::uint32_t crc32 = 0;
  // The real method of the data written: 0 or 8 (0 for an empty source, whatever the mode).
  std::uint16_t method = 0;
  // The user cancelled (progress or a refused write).
  bool cancelled = false;
  // An encrypted item's source read differently in the CRC pass and in the data pass (it
  // changed under us): the classic header's check byte does not match the data written.
  bool source_changed = false;

  bool Complete() const { return consumed == source_size && !source_changed && !cancelled; }
};

// One item's bytes on their way into an archive: source -> CRC -> deflate -> encipher ->
// archive, each stage a class of this folder (the cipher is the encryption layer's
// ItemEncipher). Writes at the destination's position; reads the source from its start.
// Events report progress and full disks. Stream failures and CompressionError pass through.
class ItemEncoder {
 public:
  ItemEncoder(EncodeSettings settings, ItemDataEvents& events)
      : settings_(std::move(settings)), events_(events) {}

  // `item` gives the AES extra block's view of the real method (its CompressionMethod).
  // `ready`, where given, is `source` compressed ahead (its bytes and mode as `source` and the
  // settings have them): its CRC and deflated bytes stand in for the encoder's own, and its
  // compressed bytes are enciphered in place. Everything else, events and writes, is as
  // without it.
  EncodeOutcome Encode(platform::Stream& destination, platform::Stream& source, const DirItem& item,
                       WholeSource* ready = nullptr);

 private:
  EncodeSettings settings_;
  ItemDataEvents& events_;
};

}  // namespace qm::archive
