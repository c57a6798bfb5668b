#include <array>
#include <exception>
#include <limits>

#include "archive/archive_error.h"
#include "archive/directory/dir_manager.h"
#include "archive/format/stream_reader.h"
#include "archive/names/stored_names.h"
#include "platform/stream_errors.h"
#include "platform/text.h"

namespace qm::archive {
namespace {

bool HasNonAscii(std::string_view bytes) {
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

}  // namespace

void DirManager::LoadDir() {
  ReadDirectory();
  RefuseOverlappingItems();
}

void DirManager::ReadDirectory() {
  ResetCentralDirEnd();
  stub_size_ = 0;
  zip64_ = false;
  central_dir_offset_ = 0;
  platform::Stream& stream = *archive_stream_;

  std::int64_t end = -1;
  if (settings_.zip_format) {
    end = FindCentralDirEnd(sig::kCentralDirEnd);
  } else {
    end = FindCentralDirEnd(sig::kAltCentralDirEnd);
    if (end < 0) end = FindCentralDirEnd(sig::kCentralDirEnd);
  }
  if (end < 0) {
    RebuildFromLocalHeaders();
    return;
  }

  // Zip64: the locator sits directly before the end record and points at the Zip64 record.
  std::array<std::uint8_t, Zip64CentralDirEnd::kEncodedLength> buffer{};
  if (end > static_cast<std::int64_t>(Zip64CentralDirEndLocator::kEncodedLength) &&
      ReadAt(stream, end - static_cast<std::int64_t>(Zip64CentralDirEndLocator::kEncodedLength),
             buffer.data(), Zip64CentralDirEndLocator::kEncodedLength)) {
    ByteReader in(buffer.data(), Zip64CentralDirEndLocator::kEncodedLength);
    Zip64CentralDirEndLocator locator;
    locator.DecodeFrom(in);
    if (locator.signature == sig::kZip64CentralDirEndLocator) {
      zip64_locator_ = locator;
      zip64_ = true;
      end -= static_cast<std::int64_t>(Zip64CentralDirEndLocator::kEncodedLength);
    }
  }
  if (zip64_) {
    constexpr auto kLength = static_cast<std::int64_t>(Zip64CentralDirEnd::kEncodedLength);
    auto read_record = [&](std::int64_t offset) {
      if (offset < 0 || !ReadAt(stream, offset, buffer.data(), buffer.size())) return false;
      ByteReader in(buffer.data(), buffer.size());
      Zip64CentralDirEnd record;
      record.DecodeFrom(in);
      if (record.signature != sig::kZip64CentralDirEnd) return false;
      zip64_central_dir_end_ = record;
      return true;
    };
    if (end <= kLength) throw ArchiveError(ErrorSite::kNoZip64DirEnd);
    const auto stored = static_cast<std::int64_t>(std::min<std::uint64_t>(
        zip64_locator_.offsetStartDirEnd, std::numeric_limits<std::int64_t>::max()));
    // The stored offset is wrong by the stub's length when an archive was put behind a stub
    // unadjusted; the record directly before the locator is where writers put it.
    if (!read_record(stored) && !read_record(end - kLength))
      throw ArchiveError(ErrorSite::kNoZip64DirEnd);
    end -= kLength;
  }
  if (!zip64_ && central_dir_end_.entriesCentralDir == kEscape16) {
    RebuildFromLocalHeaders();
    return;
  }

  // The last volume decides whether a stub is looked for. A set is read from the directory's
  // first volume (startDiskNumber) on, through the volume logic of the component.
  const std::int64_t last_volume =
      central_dir_end_.diskNumber != kEscape16
          ? central_dir_end_.diskNumber
          : (zip64_ ? static_cast<std::int64_t>(zip64_locator_.totalNumberOfDisks) - 1 : 0);
  const bool spanning = settings_.spanning_mode != SpanningMode::smNone;
  if (spanning && !settings_.custom_stream && settings_.open_volumes) {
    const std::int64_t first_volume =
        central_dir_end_.startDiskNumber != kEscape16 ? central_dir_end_.startDiskNumber
        : zip64_ ? static_cast<std::int64_t>(zip64_central_dir_end_.startDiskNumber)
                 : 0;
    archive_stream_ = &settings_.open_volumes(static_cast<std::int32_t>(first_volume),
                                              static_cast<std::int32_t>(last_volume));
  }

  std::int64_t count = 0;
  std::int64_t position = 0;
  if (zip64_) {
    count = static_cast<std::uint32_t>(zip64_central_dir_end_.entriesCentralDir);
    // Without spanning the directory is found relative to its end record, not by the stored
    // offset: that is what lets an archive carry a stub in front of it.
    const std::uint64_t size = zip64_central_dir_end_.centralDirSize;
    position = spanning ? static_cast<std::int64_t>(zip64_central_dir_end_.offsetStartDir)
               : size > static_cast<std::uint64_t>(end) ? -1
                                                        : end - static_cast<std::int64_t>(size);
  } else {
    count = central_dir_end_.entriesCentralDir;
    position = spanning ? central_dir_end_.offsetStartDir
                        : end - static_cast<std::int64_t>(central_dir_end_.centralDirSize);
  }

  // A directory that is damaged or runs past the file is rebuilt from the local headers when
  // allowed. Anything else (out of memory, a fault of ours) is not a damaged archive.
  std::exception_ptr damage;
  try {
    ReadEntries(position, count);
  } catch (const ArchiveError&) {
    damage = std::current_exception();
  } catch (const platform::ReadError&) {
    damage = std::current_exception();
  }
  if (damage) {
    if (!settings_.open_corrupted_archives) std::rethrow_exception(damage);
    RebuildFromLocalHeaders();
    return;
  }

  if (!settings_.open_corrupted_archives && !spanning) {
    const auto stream_size = static_cast<std::uint64_t>(stream.Size());
    std::uint64_t total = 0;
    for (std::int32_t i = 0; i < CDir.Count(); ++i) {
      total += CDir.GetItem(i).CompressedSize();
      if (total > stream_size) throw ArchiveError(ErrorSite::kDirectoryBeyondFile);
    }
  }

  if (last_volume == 0) {
    DetectStub(end, position);
  } else {
    ApplyStubOffset();
  }
}

void DirManager::ReadEntries(std::int64_t position, std::int64_t count) {
  platform::Stream& stream = *archive_stream_;
  const std::int64_t size = stream.Size();
  // The count is checked against what the stream can hold before any slot is allocated.
  if (position < 0 || position > size || count > std::numeric_limits<std::int32_t>::max() ||
      count > (size - position) / static_cast<std::int64_t>(ZipCentralDir::kEncodedLength)) {
    throw platform::ReadError("Central directory runs past the end of the archive");
  }
  const auto n = static_cast<std::int32_t>(count);
  CDir.SetCount(n);
  central_dir_offset_ = position;
  // Large reads: a directory of a million entries is some 80 MiB.
  StreamReader reader(stream, position, kDirectoryWindow);
  std::array<std::uint8_t, ZipCentralDir::kEncodedLength> fixed{};
  std::string name_bytes;
  std::vector<std::uint8_t> extra;
  for (std::int32_t i = 0; i < n; ++i) {
    DirItem& item = *CDir.ItemPtr(i);
    reader.Read(fixed.data(), fixed.size());
    ByteReader in(fixed.data(), fixed.size());
    item.CentralDir.DecodeFrom(in);
    const ZipCentralDir& cd = item.CentralDir;
    // An entry without its signature means the walk is off the directory: what follows would
    // be garbage presented as items.
    if (cd.signature != sig::kCentralDir && cd.signature != sig::kAltCentralDir) {
      throw ArchiveError(ErrorSite::kArchiveDamaged, std::u16string_view(settings_.component_name));
    }
    const bool alternate = cd.signature == sig::kAltCentralDir;
    if ((cd.genPurposeFlag & gpf::kEncrypted) && !SkipsZipChecks(alternate, cd.extractVersion)) {
      item.EncryptionAlgorithm = CryptoAlgorithm::caPkzipClassic;
    }
    item.CompressionMethod = cd.compMethod;

    reader.ReadInto(name_bytes, cd.nameLength);
    std::u16string name = cd.nameLength == 0
                              ? std::u16string()
                              : DecodeName(name_bytes, cd.genPurposeFlag, false, cd.versionMadeBy);
    if (cd.extraLength > 0) {
      reader.ReadInto(extra, cd.extraLength);
      ReadExtraBlocks(item, extra, name_bytes, name);
    }
    CDir.SetItemName(i, std::move(name));
    item.SetStoredName(name_bytes);
    if (cd.commentLength > 0) {
      reader.ReadInto(item.EditRecord().Comment, cd.commentLength);
    } else if (item.HasRecord()) {
      item.EditRecord().Comment.clear();
    }
  }
}

std::u16string DirManager::DecodeName(const std::string& stored, std::uint16_t flags,
                                      bool ansi_only, std::uint16_t version_made_by) const {
  // ASCII reads the same in every page (most names of most archives).
  if (!ansi_only && !HasNonAscii(stored)) return std::u16string(stored.begin(), stored.end());
  // zip on Unix and macOS stores the name's bytes as the system has them, UTF-8 nowadays,
  // without flag bit 11 (and without a Unicode Path block in the C locale): the OEM step
  // would turn every non-ASCII character into two or three wrong ones.
  const int host = version_made_by >> 8;
  if ((flags & gpf::kUtf8) == 0 && (host == kHostUnix || host == kHostMacOs) &&
      HasNonAscii(stored) && IsValidUtf8(stored)) {
    return platform::Utf8ToUtf16(stored);
  }
  const bool oem = central_dir_end_.signature == sig::kCentralDirEnd && settings_.oem_file_names &&
                   (flags & gpf::kUtf8) == 0;
  const std::string bytes = oem ? OemNameToAnsi(stored) : stored;
  if (!ansi_only) return DecodeStoredName(bytes);
  return platform::AnsiToUtf16(std::string_view(bytes).substr(0, bytes.find('\0')));
}

void DirManager::ReadExtraBlocks(DirItem& item, std::span<const std::uint8_t> field,
                                 std::string_view stored_name, std::u16string& name) {
  DirItemRecord& record = item.EditRecord();
  record.ExtraFields = SplitExtraField(field);
  item.bHugeFile = false;
  std::optional<std::u16string> unicode_name;
  std::optional<std::u16string> info_zip_name;
  for (const ExtraFieldDataBlock& block : record.ExtraFields) {
    switch (block.headerID) {
      case extra_id::kZip64: {
        ByteReader in(block.data);
        record.Zip64ExtInfo.DecodeFrom(in, EscapedFields(item.CentralDir));
        item.bHugeFile = true;
        break;
      }
      case extra_id::kUnicodeName: {
        ByteReader in(block.data);
        UnicodeExtendedInfo info;
        if (info.DecodeFrom(in)) unicode_name = std::move(info.FName);
        break;
      }
      case extra_id::kAes: {
        if (SkipsZipChecks(item.CentralDir.signature == sig::kAltCentralDir,
                           item.CentralDir.extractVersion)) {
          break;
        }
        // A short block gives nothing: its strength and method would be guesses.
        ByteReader in(block.data);
        AesExtraField aes;
        aes.DecodeFrom(in);
        if (!in.ok()) break;
        if (aes.strength == 1) item.EncryptionAlgorithm = CryptoAlgorithm::caAES_128;
        if (aes.strength == 2) item.EncryptionAlgorithm = CryptoAlgorithm::caAES_192;
        if (aes.strength == 3) item.EncryptionAlgorithm = CryptoAlgorithm::caAES_256;
        item.CompressionMethod = aes.actualCompMethod;
        break;
      }
      case extra_id::kInfoZipUnicodePath:
        if (auto path = DecodeInfoZipUnicodePath(block.data, stored_name)) {
          info_zip_name = std::move(path);
        }
        break;
      default:
        break;
    }
  }
  // The engine's own block wins over Info-ZIP's; either replaces the 8-bit name.
  if (unicode_name) {
    name = std::move(*unicode_name);
  } else if (info_zip_name) {
    name = std::move(*info_zip_name);
  }
}

}  // namespace qm::archive
