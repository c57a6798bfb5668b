#pragma once

#include <cstdint>
#include <string>

namespace qm::archive {

// The search state inside an ArchiveItem; callers only hand it back to FindNext.
struct InternalSearchRec {
  // Index of the item last found; the next step starts from it.
  std::int32_t ItemNo = 0;
  // The prepared mask with "/" separators (the mask variant only).
  std::u16string CFindMask;
  // The mask holds "*" or "?".
  bool wild_cards_ = false;
  // Attribute filter: an item with hidden, system, volume label or directory bits is found only
  // when these attributes have them too.
  std::int32_t find_attr_ = 0;
  std::u16string ExclusionMask;
  // Match against the component's FileMasks / ExclusionMasks lists instead of CFindMask.
  bool UseProperties = false;
};

// One item found by FindFirst / FindNext.
struct ArchiveItem {
  // The file name part of the stored name.
  std::u16string FileName;
  // The folder part with platform separators and a trailing one; empty at the root.
  std::u16string StoredPath;
  std::int64_t CompressedSize = 0;
  std::int64_t UncompressedSize = 0;
  // Percentage saved, 0 to 100; 100 for an empty item.
  double CompressionRate = 0;
  bool Encrypted = false;
  std::uint16_t LastModFileDate = 0;
  std::uint16_t LastModFileTime = 0;
  std::uint32_t CRC = 0;
  std::uint32_t ExternalFileAttributes = 0;
  std::string Comment;
  InternalSearchRec Handle;
  // Beyond the search record, what a listing shows. The whole stored name as recorded:
  // "/"-separated, a folder's with its trailing "/".
  std::u16string StoredName;
  // The method recorded in the entry: 0 stored, 8 deflated, 9 Deflate64, 99 AES (the real
  // method then travels in the AES block), anything else unknown.
  std::uint16_t CompressionMethod = 0;
  // The entry's general purpose flags (bit 0 encrypted; bits 1 and 2 the deflate option).
  std::uint16_t GenPurposeFlag = 0;
};

}  // namespace qm::archive
