#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_types.h"
#include "archive/format/records.h"
#include "platform/stream.h"

namespace qm::archive {

// One entry of an open archive's directory. Copies are deep: a copy owns its own strings and
// extra blocks and shares only the source stream.
struct DirItem {
  // The fixed part of the central directory entry, as read.
  ZipCentralDir CentralDir;
  // The stored name decoded, with "/" separators.
  std::u16string Name;
  // The name bytes as the records hold them and the Name they stand for: while Name is
  // unchanged they are written back as they are (flag bit 11 as read), so that the central
  // entry of a carried-over record keeps matching its local header byte for byte.
  std::string StoredNameBytes;
  std::u16string StoredNameFor;
  // The name before a rename made in the current update.
  std::u16string OldName;
  // The entry comment, bytes as stored.
  std::string Comment;
  // The extra blocks as read (unknown ones kept byte for byte), plus blocks appended when the
  // item is written.
  std::vector<ExtraFieldDataBlock> ExtraFields;
  // For encrypted items: the cipher.
  CryptoAlgorithm EncryptionAlgorithm = CryptoAlgorithm::caPkzipClassic;
  // Some field of CentralDir holds an escape value; the real one is in Zip64ExtInfo.
  bool bHugeFile = false;
  Zip64ExtendedInfo Zip64ExtInfo;
  // Carries a change of the current update that the commit must write.
  bool Modified = false;
  // Password the item is encrypted with when written.
  std::string Password;
  // Source of an item added from a stream, buffer or string. With bDestroyStream the item owns
  // it (the pointer is the owner); otherwise the pointer does not own (see BorrowStream).
  std::shared_ptr<platform::Stream> Stream;
  bool bDestroyStream = false;
  // Where the item's data starts in Stream.
  std::int32_t Position = 0;
  // Selected for the operation under way.
  bool Tagged = false;
  // Disk path of the source file of an item added from disk.
  std::u16string SrcFileName;
  // The real compression method (0 or 8); differs from CentralDir.compMethod for AES items.
  std::uint16_t CompressionMethod = 0;
  // Compression mode 0 to 9 used when the item is (re)compressed.
  std::uint8_t CompressionMode = 0;
  // The kind of pending change.
  ProcessOperation Operation = ProcessOperation::poAdd;
  // Set false when an item is added; read by nothing.
  bool UseOldRijndael = false;

  // Sizes and offset with the Zip64 values taken where the fixed fields hold escapes.
  std::uint64_t UncompressedSize() const {
    return CentralDir.unCompSize == kEscape32 ? Zip64ExtInfo.uncompSize : CentralDir.unCompSize;
  }
  std::uint64_t CompressedSize() const {
    return CentralDir.compSize == kEscape32 ? Zip64ExtInfo.compSize : CentralDir.compSize;
  }
  std::uint64_t LocalHeaderOffset() const {
    return CentralDir.relOffsetLH == kEscape32 ? Zip64ExtInfo.relOffsetLH
                                               : CentralDir.relOffsetLH;
  }
  bool IsEncrypted() const { return (CentralDir.genPurposeFlag & gpf::kEncrypted) != 0; }
};

// A stream pointer for DirItem::Stream that the item does not own.
inline std::shared_ptr<platform::Stream> BorrowStream(platform::Stream& stream) {
  return std::shared_ptr<platform::Stream>(std::shared_ptr<platform::Stream>(), &stream);
}

}  // namespace qm::archive
