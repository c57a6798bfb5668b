#pragma once

// Every on-disk layout of the ZIP format as this engine reads and writes it. All integers are
// little-endian; records are packed, so a fixed record is exactly kEncodedLength bytes. No
// other file of the engine does byte arithmetic on a record.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "archive/format/byte_reader.h"
#include "archive/format/extra_fields.h"

namespace qm::archive {

// Record signatures. The alternate set belongs to a sibling format that shares the reader;
// ZipArchiver always writes the ZIP set.
namespace sig {
inline constexpr std::uint32_t kLocalHeader = 0x04034B50;
inline constexpr std::uint32_t kCentralDir = 0x02014B50;
inline constexpr std::uint32_t kCentralDirEnd = 0x06054B50;
inline constexpr std::uint32_t kZip64CentralDirEnd = 0x06064B50;
inline constexpr std::uint32_t kZip64CentralDirEndLocator = 0x07064B50;
inline constexpr std::uint32_t kDataDescriptor = 0x08074B50;
inline constexpr std::uint32_t kAltLocalHeader = 0x05045C61;
inline constexpr std::uint32_t kAltCentralDir = 0x03025C61;
inline constexpr std::uint32_t kAltCentralDirEnd = 0x06054141;
}  // namespace sig

// General purpose flag bits the engine sets or tests.
namespace gpf {
inline constexpr std::uint16_t kEncrypted = 0x0001;
inline constexpr std::uint16_t kDirectoryEntry = 0x0002;  // the only bit on folders we create
inline constexpr std::uint16_t kDataDescriptor = 0x0008;
inline constexpr std::uint16_t kUtf8 = 0x0800;
}  // namespace gpf

namespace method {
inline constexpr std::uint16_t kStored = 0;
inline constexpr std::uint16_t kDeflated = 8;
inline constexpr std::uint16_t kDeflate64 = 9;
inline constexpr std::uint16_t kAes = 99;  // the real method travels in the AES block
}  // namespace method

// Escape values: the real value stands in the Zip64 records.
inline constexpr std::uint16_t kEscape16 = 0xFFFF;
inline constexpr std::uint32_t kEscape32 = 0xFFFFFFFF;

// Entries of the alternate set whose extractVersion is at or above this carry no cipher
// header, AES block or CRC check of their own.
inline constexpr std::uint16_t kAltVersionThreshold = 0x4114;

// Whether an entry goes without the ZIP checks. Only the alternate set may: an entry read with
// the ZIP signatures is checked whatever its version field claims, or a forged version would
// switch the CRC and the cipher off.
constexpr bool SkipsZipChecks(bool alternate_signatures, std::uint16_t extract_version) {
  return alternate_signatures && extract_version >= kAltVersionThreshold;
}

inline constexpr std::uint16_t kVersionOem = 20;       // host MS-DOS, 2.0
inline constexpr std::uint16_t kVersionNtfs = 0x0B14;  // host NTFS, 2.0
inline constexpr std::uint16_t kVersionZip64 = 45;
// Hosts in the high byte of versionMadeBy.
inline constexpr int kHostUnix = 3;
inline constexpr int kHostMacOs = 19;

// Local file header; followed by the name, the extra field and the data.
struct ZipLocalHeader {
  static constexpr std::size_t kEncodedLength = 30;
  std::uint32_t signature = sig::kLocalHeader;  // 0
  std::uint16_t extractVersion = 0;             // 4: version needed to extract
  std::uint16_t genPurposeFlag = 0;             // 6
  std::uint16_t compMethod = 0;                 // 8: 99 for AES items
  std::uint16_t lastModTime = 0;                // 10: MS-DOS time
  std::uint16_t lastModDate = 0;                // 12: MS-DOS date
  std::uint32_t crc32 = 0;                      // 14
  std::uint32_t compSize = 0;                   // 18: or 0xFFFFFFFF
  std::uint32_t unCompSize = 0;                 // 22: or 0xFFFFFFFF
  std::uint16_t nameLength = 0;                 // 26
  std::uint16_t extraLength = 0;                // 28

  void DecodeFrom(ByteReader& in);
  void EncodeTo(ByteWriter& out) const;
};

// Data descriptor, only the form that carries its signature.
struct ZipDataDescriptor {
  static constexpr std::size_t kEncodedLength = 16;
  std::uint32_t signature = sig::kDataDescriptor;  // 0
  std::uint32_t crc32 = 0;                         // 4
  std::uint32_t compSize = 0;                      // 8
  std::uint32_t unCompSize = 0;                    // 12

  void DecodeFrom(ByteReader& in);
  void EncodeTo(ByteWriter& out) const;
};

// Central directory file header; followed by the name, the extra field and the comment.
struct ZipCentralDir {
  static constexpr std::size_t kEncodedLength = 46;
  std::uint32_t signature = sig::kCentralDir;  // 0
  std::uint16_t versionMadeBy = 0;             // 4
  std::uint16_t extractVersion = 0;            // 6
  std::uint16_t genPurposeFlag = 0;            // 8
  std::uint16_t compMethod = 0;                // 10: 99 for AES items
  std::uint16_t lastModTime = 0;               // 12
  std::uint16_t lastModDate = 0;               // 14
  std::uint32_t crc32 = 0;                     // 16
  std::uint32_t compSize = 0;                  // 20: or 0xFFFFFFFF
  std::uint32_t unCompSize = 0;                // 24: or 0xFFFFFFFF
  std::uint16_t nameLength = 0;                // 28
  std::uint16_t extraLength = 0;               // 30
  std::uint16_t commentLength = 0;             // 32
  std::uint16_t diskNumberStart = 0;           // 34: or 0xFFFF
  std::uint16_t internalAttr = 0;              // 36: written as 0
  std::uint32_t externalAttr = 0;              // 38: Windows attributes in the low byte
  std::uint32_t relOffsetLH = 0;               // 42: or 0xFFFFFFFF

  void DecodeFrom(ByteReader& in);
  void EncodeTo(ByteWriter& out) const;
};

// End of central directory record; followed by the archive comment up to the end of the file.
struct ZipCentralDirEnd {
  static constexpr std::size_t kEncodedLength = 22;
  std::uint32_t signature = sig::kCentralDirEnd;  // 0
  std::uint16_t diskNumber = 0;                   // 4: or 0xFFFF
  std::uint16_t startDiskNumber = 0;              // 6: or 0xFFFF
  std::uint16_t entriesOnDisk = 0;                // 8: or 0xFFFF
  std::uint16_t entriesCentralDir = 0;            // 10: or 0xFFFF
  std::uint32_t centralDirSize = 0;               // 12: or 0xFFFFFFFF
  std::uint32_t offsetStartDir = 0;               // 16: or 0xFFFFFFFF
  std::uint16_t commentLength = 0;                // 20

  void DecodeFrom(ByteReader& in);
  void EncodeTo(ByteWriter& out) const;
};

// Zip64 end of central directory record, read and written without extensible data.
struct Zip64CentralDirEnd {
  static constexpr std::size_t kEncodedLength = 56;
  std::uint32_t signature = sig::kZip64CentralDirEnd;    // 0
  std::uint64_t centralDirEndSize = 44;                  // 4: size of the rest of the record
  std::uint16_t versionMadeBy = kVersionZip64;           // 12
  std::uint16_t versionNeededToExtract = kVersionZip64;  // 14
  std::uint32_t diskNumber = 0;                          // 16
  std::uint32_t startDiskNumber = 0;                     // 20
  std::uint64_t entriesOnDisk = 0;                       // 24
  std::uint64_t entriesCentralDir = 0;                   // 32
  std::uint64_t centralDirSize = 0;                      // 40
  std::uint64_t offsetStartDir = 0;                      // 48

  void DecodeFrom(ByteReader& in);
  void EncodeTo(ByteWriter& out) const;
};

// Zip64 end of central directory locator, directly before the end record.
struct Zip64CentralDirEndLocator {
  static constexpr std::size_t kEncodedLength = 20;
  std::uint32_t signature = sig::kZip64CentralDirEndLocator;  // 0
  std::uint32_t startDiskNumber = 0;                          // 4: volume of the Zip64 end record
  std::uint64_t offsetStartDirEnd = 0;                        // 8: offset of the Zip64 end record
  std::uint32_t totalNumberOfDisks = 0;                       // 16

  void DecodeFrom(ByteReader& in);
  void EncodeTo(ByteWriter& out) const;
};

// Sizes of what encryption adds around an item's compressed data. The AES start block is the
// salt (key length / 2) followed by the 2-byte password verifier.
inline constexpr std::size_t kClassicHeaderLength = 12;
inline constexpr std::size_t kAesVerifierLength = 2;
inline constexpr std::size_t kAesAuthenticationCodeLength = 10;

// The Zip64 values an entry's block carries: those whose fixed field holds its escape value.
Zip64Fields EscapedFields(const ZipCentralDir& entry);

// The fields a local header and a central directory entry share, copied across; the central
// entry's versionMadeBy takes the local extractVersion, its own fields start at zero.
ZipCentralDir CentralDirFromLocal(const ZipLocalHeader& local);
ZipLocalHeader LocalHeaderFromCentral(const ZipCentralDir& entry);

}  // namespace qm::archive
