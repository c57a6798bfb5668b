#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_types.h"
#include "archive/format/records.h"
#include "platform/platform.h"
#include "platform/stream.h"

namespace qm::archive {

// What an entry carries beyond its fixed part and its name. Most entries of most archives have
// none of it, so an item holds it only when it has some.
struct DirItemRecord {
  // The entry comment, bytes as stored.
  std::string Comment;
  // The extra blocks as read (unknown ones kept byte for byte), plus blocks appended when the
  // item is written.
  std::vector<ExtraFieldDataBlock> ExtraFields;
  // The real values of the fields of CentralDir that hold an escape.
  Zip64ExtendedInfo Zip64ExtInfo;
  // The name bytes as the records hold them and the Name they stand for, where they are not
  // simply the Name's characters (see DirItem::SetStoredName).
  std::string StoredNameBytes;
  std::u16string StoredNameFor;
};

// What a pending change of the current update carries.
struct DirItemChange {
  // The name before a rename made in the current update.
  std::u16string OldName;
  // For an entry that replaces an old one in the current update: where the old record lies,
  // which the commit keeps when the new data cannot be written. None for an entry new in this
  // update.
  std::optional<std::uint64_t> ReplacedRecord;
  // Password the item is encrypted with when written.
  std::string Password;
  // Source of an item added from a stream, buffer or string. With bDestroyStream the item owns
  // it (the pointer is the owner); otherwise the pointer does not own (see BorrowStream).
  std::shared_ptr<platform::Stream> Stream;
  bool bDestroyStream = false;
  // Where the item's data starts in Stream.
  std::int32_t Position = 0;
  // Disk path of the source file of an item added from disk.
  std::u16string SrcFileName;
  // What that file was (identity, size, last write) when it was opened to be read for the
  // archive: a moved source is deleted only while it is still so, since an edit made after
  // that point is in the archive nowhere.
  std::optional<platform::FileStatus> SourceStatus;
  // Set false when an item is added; read by nothing.
  bool UseOldRijndael = false;
};

// A pointer whose copies copy what it points at.
template <typename T>
class DeepPtr {
 public:
  DeepPtr() = default;
  DeepPtr(const DeepPtr& other) : p_(other.p_ ? std::make_unique<T>(*other.p_) : nullptr) {}
  DeepPtr(DeepPtr&&) noexcept = default;
  DeepPtr& operator=(const DeepPtr& other) {
    if (this != &other) p_ = other.p_ ? std::make_unique<T>(*other.p_) : nullptr;
    return *this;
  }
  DeepPtr& operator=(DeepPtr&&) noexcept = default;

  const T* get() const { return p_.get(); }
  T& Make() {
    if (!p_) p_ = std::make_unique<T>();
    return *p_;
  }

 private:
  std::unique_ptr<T> p_;
};

// One entry of an open archive's directory. Copies are deep: a copy owns its own strings and
// extra blocks and shares only the source stream.
//
// A directory may hold millions of entries, so an item keeps to the fixed part, the name and a
// few small fields; the rest lives in two records made when first written to (EditRecord,
// EditChange). Reading through Record() and Change() never makes one.
struct DirItem {
  // The fixed part of the central directory entry, as read.
  ZipCentralDir CentralDir;
  // For encrypted items: the cipher.
  CryptoAlgorithm EncryptionAlgorithm = CryptoAlgorithm::caPkzipClassic;
  // Compression mode 0 to 9 used when the item is (re)compressed.
  std::uint8_t CompressionMode = 0;
  // The real compression method (0 or 8); differs from CentralDir.compMethod for AES items.
  std::uint16_t CompressionMethod = 0;
  // The kind of pending change.
  ProcessOperation Operation = ProcessOperation::poAdd;
  // Some field of CentralDir holds an escape value; the real one is in Zip64ExtInfo.
  bool bHugeFile : 1 = false;
  // Carries a change of the current update that the commit must write.
  bool Modified : 1 = false;
  // Selected for the operation under way.
  bool Tagged : 1 = false;

 private:
  // The stored name bytes are the Name's characters, each below 0x80 (see SetStoredName).
  bool name_is_stored_bytes_ : 1 = false;

 public:
  // The stored name decoded, with "/" separators. Changed only through the DirArray, which
  // keeps the stored bytes of the name it replaces (KeepStoredNameOf).
  std::u16string Name;

  const DirItemRecord& Record() const { return record_.get() ? *record_.get() : kNoRecord; }
  DirItemRecord& EditRecord() { return record_.Make(); }
  const DirItemChange& Change() const { return change_.get() ? *change_.get() : kNoChange; }
  DirItemChange& EditChange() { return change_.Make(); }
  bool HasChange() const { return change_.get() != nullptr; }
  bool HasRecord() const { return record_.get() != nullptr; }

  // The name bytes as the records hold them, for the Name as it stands: while Name is
  // unchanged they are written back as they are (flag bit 11 as read), so that the central
  // entry of a carried-over record keeps matching its local header byte for byte. Bytes that
  // are the Name's own characters (ASCII, most names) are not held a second time.
  void SetStoredName(std::string_view bytes);
  // The stored bytes when they stand for the current Name; false when the name has changed
  // since or was never stored (a new item): the name is then encoded afresh.
  bool StoredNameFits() const;
  std::string StoredNameBytes() const;
  // Called before Name changes: the stored bytes that were the old Name's characters are
  // kept with the old name they stand for.
  void KeepStoredNameOf();

  // Sizes and offset with the Zip64 values taken where the fixed fields hold escapes.
  std::uint64_t UncompressedSize() const {
    return CentralDir.unCompSize == kEscape32 ? Record().Zip64ExtInfo.uncompSize
                                              : CentralDir.unCompSize;
  }
  std::uint64_t CompressedSize() const {
    return CentralDir.compSize == kEscape32 ? Record().Zip64ExtInfo.compSize : CentralDir.compSize;
  }
  std::uint64_t LocalHeaderOffset() const {
    return CentralDir.relOffsetLH == kEscape32 ? Record().Zip64ExtInfo.relOffsetLH
                                               : CentralDir.relOffsetLH;
  }
  bool IsEncrypted() const { return (CentralDir.genPurposeFlag & gpf::kEncrypted) != 0; }
  // The MS-DOS date-time as one signed number (date in the high half), the form the
  // overwrite rules compare.
  std::int32_t DosDateTime() const {
    return static_cast<std::int32_t>((std::uint32_t{CentralDir.lastModDate} << 16) |
                                     CentralDir.lastModTime);
  }

 private:
  static const DirItemRecord kNoRecord;
  static const DirItemChange kNoChange;

  DeepPtr<DirItemRecord> record_;
  DeepPtr<DirItemChange> change_;
};

// A stream pointer for DirItemChange::Stream that the item does not own.
inline std::shared_ptr<platform::Stream> BorrowStream(platform::Stream& stream) {
  return std::shared_ptr<platform::Stream>(std::shared_ptr<platform::Stream>(), &stream);
}

}  // namespace qm::archive
