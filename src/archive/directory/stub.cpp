#include <algorithm>
#include <array>

#include "archive/directory/dir_manager.h"
#include "archive/format/stream_reader.h"
#include "platform/file_attributes.h"

namespace qm::archive {
namespace {

// Where the records begin when the offsets count the stub: the lowest offset of a file entry
// (folder entries behind an unadjusted stub keep offsets that point anywhere).
std::int64_t FirstRecordOffset(const DirArray& dir) {
  std::uint64_t first = dir.GetItem(0).LocalHeaderOffset();
  for (std::int32_t i = 0; i < dir.Count(); ++i) {
    const DirItem& item = dir.GetItem(i);
    if (item.CentralDir.externalAttr & platform::attr::kDirectory) continue;
    first = std::min<std::uint64_t>(first, item.LocalHeaderOffset());
  }
  return static_cast<std::int64_t>(first);
}

}  // namespace

// An archive put behind a stub (a self-extractor, or any data) is found by the first local
// header that matches entry 0 of the directory. Its offsets either count from the archive's
// own start (then every file entry moves by the stub's length) or already count the stub.
void DirManager::DetectStub(std::int64_t end_offset, std::int64_t directory_offset) {
  if (central_dir_end_.entriesCentralDir == 0) {
    stub_size_ = end_offset;  // everything before the end record is stub
    return;
  }
  if (CDir.Count() == 0) return;
  if (DetectUnadjustedStub(directory_offset)) return;
  platform::Stream& stream = *archive_stream_;
  const std::int64_t size = stream.Size();
  const ZipCentralDir& first = CDir.GetItem(0).CentralDir;
  const std::uint32_t local_signature =
      settings_.zip_format ? sig::kLocalHeader : sig::kAltLocalHeader;
  SignatureScanner scanner(stream, local_signature, kStubWindow);
  std::int64_t from = static_cast<std::int64_t>(CDir.GetItem(0).LocalHeaderOffset());
  while (from < size) {
    const std::int64_t at = scanner.Find(from);
    if (at < 0) break;
    std::array<std::uint8_t, ZipLocalHeader::kEncodedLength> fixed{};
    ZipLocalHeader header;
    bool plausible = ReadAt(stream, at, fixed.data(), fixed.size());
    if (plausible) {
      ByteReader in(fixed.data(), fixed.size());
      header.DecodeFrom(in);
      plausible =
          size - at - static_cast<std::int64_t>(fixed.size()) >= header.nameLength &&
          (header.signature == sig::kLocalHeader || header.signature == sig::kAltLocalHeader);
    }
    if (plausible &&
        (at == 0 ||
         (header.crc32 == first.crc32 && header.extractVersion == first.extractVersion &&
          header.compMethod == first.compMethod && header.lastModTime == first.lastModTime &&
          header.lastModDate == first.lastModDate && header.compSize == first.compSize &&
          header.unCompSize == first.unCompSize))) {
      // Entry 0 need not be the first record: other writers list the records in any order.
      // Found where its offset says, the offsets count the stub already, which ends where the
      // first record begins; found further on, they count from the archive's own start.
      const auto recorded = static_cast<std::int64_t>(CDir.GetItem(0).LocalHeaderOffset());
      if (at == recorded) {
        stub_size_ = FirstRecordOffset(CDir);
        return;
      }
      stub_size_ = at - recorded;
      ApplyStubOffset();
      return;
    }
    from = at + 1;
  }
  if (!OffsetsAreAbsolute()) ApplyStubOffset();
}

bool DirManager::DetectUnadjustedStub(std::int64_t directory_offset) {
  const std::uint64_t stored =
      zip64_ ? zip64_central_dir_end_.offsetStartDir : central_dir_end_.offsetStartDir;
  if (directory_offset <= 0 || stored >= static_cast<std::uint64_t>(directory_offset)) {
    return false;
  }
  const std::int64_t shift = directory_offset - static_cast<std::int64_t>(stored);
  // Entry 0's local header must stand where the shift puts it; the scan below handles the rest
  // (a first archive in front of this one would otherwise be taken for its start).
  const DirItem& first = CDir.GetItem(0);
  const std::uint64_t at = first.LocalHeaderOffset() + static_cast<std::uint64_t>(shift);
  platform::Stream& stream = *archive_stream_;
  std::array<std::uint8_t, ZipLocalHeader::kEncodedLength> fixed{};
  if (at > static_cast<std::uint64_t>(stream.Size()) ||
      !ReadAt(stream, static_cast<std::int64_t>(at), fixed.data(), fixed.size())) {
    return false;
  }
  ByteReader in(fixed.data(), fixed.size());
  ZipLocalHeader header;
  header.DecodeFrom(in);
  const std::uint32_t local_signature =
      settings_.zip_format ? sig::kLocalHeader : sig::kAltLocalHeader;
  if (header.signature != local_signature || header.compMethod != first.CentralDir.compMethod ||
      header.nameLength != first.CentralDir.nameLength) {
    return false;
  }
  stub_size_ = shift;
  ApplyStubOffset();
  return true;
}

bool DirManager::OffsetsAreAbsolute() const {
  const auto stub = static_cast<std::uint32_t>(stub_size_);
  for (std::int32_t i = 0; i < CDir.Count(); ++i) {
    const ZipCentralDir& cd = CDir.GetItem(i).CentralDir;
    if (cd.compSize != 0) return cd.relOffsetLH >= stub;
  }
  return true;
}

void DirManager::ApplyStubOffset() {
  if (stub_size_ == 0) return;
  const auto stub = static_cast<std::uint64_t>(stub_size_);
  for (std::int32_t i = 0; i < CDir.Count(); ++i) {
    DirItem& item = *CDir.ItemPtr(i);
    if (item.CentralDir.externalAttr & platform::attr::kDirectory)
      continue;  // folder entries keep their offsets
    // The 64-bit value is moved where the field holds the escape, and an offset that no longer
    // fits 32 bits moves into the Zip64 value, so no offset wraps around.
    const std::uint64_t moved = item.LocalHeaderOffset() + stub;
    if (item.CentralDir.relOffsetLH == kEscape32 || moved >= kEscape32) {
      item.CentralDir.relOffsetLH = kEscape32;
      item.EditRecord().Zip64ExtInfo.relOffsetLH = moved;
      item.bHugeFile = true;
    } else {
      item.CentralDir.relOffsetLH = static_cast<std::uint32_t>(moved);
    }
  }
}

}  // namespace qm::archive
