#pragma once

// The blocks of an extra field and the codec of every block type the engine reads or writes.
// Each codec encodes and decodes a block's data only (not the 4-byte block header); MakeBlock
// wraps one into an ExtraFieldDataBlock under its header ID. Blocks of other types are kept as
// read and written back byte for byte.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archive/format/byte_reader.h"

namespace qm::archive {

// Extra block header IDs.
namespace extra_id {
inline constexpr std::uint16_t kZip64 = 0x0001;
inline constexpr std::uint16_t kUnicodeName = 0x554E;  // the engine's own UTF-16 name block
inline constexpr std::uint16_t kAes = 0x9901;
inline constexpr std::uint16_t kInfoZipUnicodePath = 0x7075;
inline constexpr std::uint16_t kExtendedTimestamp = 0x5455;
}  // namespace extra_id

// One block of an extra field, with its data owned by the entry. dataSize always equals
// data.size(); it is kept beside it because the writers emit it as read.
struct ExtraFieldDataBlock {
  static constexpr std::size_t kHeaderLength = 4;
  std::uint16_t headerID = 0;
  std::uint16_t dataSize = 0;
  std::vector<std::uint8_t> data;

  // Header and data.
  std::size_t EncodedLength() const { return kHeaderLength + data.size(); }
  bool operator==(const ExtraFieldDataBlock&) const = default;
};

// Splits an extra field into blocks. A block whose dataSize runs past the field is cut to what
// remains; a trailing fragment shorter than a block header is dropped.
std::vector<ExtraFieldDataBlock> SplitExtraField(std::span<const std::uint8_t> field);
void EncodeExtraField(const std::vector<ExtraFieldDataBlock>& blocks, ByteWriter& out);
// Bytes of the blocks as EncodeExtraField writes them, leaving out those with `skipped_id`.
std::size_t ExtraFieldLength(const std::vector<ExtraFieldDataBlock>& blocks,
                             std::optional<std::uint16_t> skipped_id = std::nullopt);

// A codec's data under its header ID.
template <typename Block>
ExtraFieldDataBlock MakeBlock(const Block& value) {
  ExtraFieldDataBlock block;
  block.headerID = Block::kHeaderID;
  ByteWriter out(block.data);
  value.EncodeTo(out);
  block.dataSize = static_cast<std::uint16_t>(block.data.size());
  return block;
}

// Which values a Zip64 block (0x0001) carries: those whose field in the fixed record holds its
// escape value, always in this order.
struct Zip64Fields {
  bool uncompSize = false;
  bool compSize = false;
  bool relOffsetLH = false;
  bool diskNumberStart = false;

  bool Any() const { return uncompSize || compSize || relOffsetLH || diskNumberStart; }
  // Bytes of block data those values take.
  std::size_t DataSize() const {
    return 8 * (uncompSize + compSize + relOffsetLH) + 4 * diskNumberStart;
  }
};

// The values of a Zip64 extended information block (0x0001).
struct Zip64ExtendedInfo {
  static constexpr std::uint16_t kHeaderID = extra_id::kZip64;
  std::uint64_t uncompSize = 0;
  std::uint64_t compSize = 0;
  std::uint64_t relOffsetLH = 0;
  std::uint32_t diskNumberStart = 0;

  // Reads the `present` values, each only while the whole of it is there: a short block gives
  // the values that fit and leaves the others as they were.
  void DecodeFrom(ByteReader& in, Zip64Fields present);
  void EncodeTo(ByteWriter& out, Zip64Fields present) const;
};

// Data of the WinZip AES extra block (0x9901). The item's compMethod is 99; the real method
// travels here.
struct AesExtraField {
  static constexpr std::uint16_t kHeaderID = extra_id::kAes;
  static constexpr std::size_t kEncodedLength = 7;
  static constexpr std::uint16_t kVendorId = 0x4541;  // the bytes "AE"
  std::uint16_t vendorVersion = 2;                    // 0: 1 (AE-1, CRC checked) or 2 (AE-2)
  std::uint16_t vendorId = kVendorId;                 // 2
  std::uint8_t strength = 0;                          // 4: 1 = AES-128, 2 = AES-192, 3 = AES-256
  std::uint16_t actualCompMethod = 0;                 // 5: the item's real method (0 or 8)

  void DecodeFrom(ByteReader& in);
  void EncodeTo(ByteWriter& out) const;
};

// The engine's own Unicode-name block (0x554E): "NUCX", a 32-bit count of UTF-16 code units,
// the code units (little-endian).
struct UnicodeExtendedInfo {
  static constexpr std::uint16_t kHeaderID = extra_id::kUnicodeName;
  static constexpr std::uint32_t kSignature = 0x5843554E;  // "NUCX"
  std::uint32_t FAdditionalSignature = kSignature;
  std::u16string FName;

  // False when the signature differs or the count claims more code units than the block
  // holds; the block is then ignored and the 8-bit name stays.
  bool DecodeFrom(ByteReader& in);
  void EncodeTo(ByteWriter& out) const;
};

// Info-ZIP's Unicode Path block (0x7075): version 1, the CRC-32 of the stored 8-bit name, the
// name in UTF-8. Whether the CRC matches is the names layer's question.
struct InfoZipUnicodePath {
  static constexpr std::uint16_t kHeaderID = extra_id::kInfoZipUnicodePath;
  static constexpr std::uint8_t kVersion = 1;
  std::uint8_t version = kVersion;
  std::uint32_t nameCrc32 = 0;
  std::string utf8Name;

  // False when the block is shorter than version and CRC.
  bool DecodeFrom(ByteReader& in);
  void EncodeTo(ByteWriter& out) const;
};

// Info-ZIP's extended timestamp block (0x5455): a flags byte (bit 0 modification, bit 1
// access, bit 2 creation time), then the flagged times as signed 32-bit Unix seconds. The
// central directory's copy carries only the modification time while its flags still name all
// three, so a time is present only when its bytes are.
struct ExtendedTimestamp {
  static constexpr std::uint16_t kHeaderID = extra_id::kExtendedTimestamp;
  static constexpr std::uint8_t kModTimeFlag = 0x01;
  static constexpr std::uint8_t kAccessTimeFlag = 0x02;
  static constexpr std::uint8_t kCreateTimeFlag = 0x04;
  std::uint8_t flags = 0;
  std::optional<std::int32_t> modTime;
  std::optional<std::int32_t> accessTime;
  std::optional<std::int32_t> createTime;

  // False when the block has no flags byte.
  bool DecodeFrom(ByteReader& in);
  // The flags as held, then the times that are present.
  void EncodeTo(ByteWriter& out) const;
};

}  // namespace qm::archive
