#include "archive/directory/dir_manager.h"

#include <algorithm>
#include <vector>

#include "archive/format/stream_reader.h"

namespace qm::archive {

DirManager::DirManager(platform::Stream& stream, bool create, DirSettings settings)
    : archive_stream_(&stream), create_(create), settings_(std::move(settings)) {
  ResetCentralDirEnd();
  // A new archive starts on its first volume; placing a self-extractor stub in front of it
  // (SFXStub) belongs to the volume logic and joins it there.
}

void DirManager::ResetCentralDirEnd() {
  central_dir_end_ = ZipCentralDirEnd{};
  central_dir_end_.signature = settings_.zip_format ? sig::kCentralDirEnd : sig::kAltCentralDirEnd;
  CDir.SetCount(0);
}

std::int64_t DirManager::FindCentralDirEnd(std::uint32_t signature) {
  archive_comment_.clear();
  central_dir_end_ = ZipCentralDirEnd{};
  central_dir_end_.signature = 0;
  platform::Stream& stream = *archive_stream_;
  const std::int64_t size = stream.Size();
  const std::int64_t length = std::min(size, kEndSearchLength);
  if (length < static_cast<std::int64_t>(ZipCentralDirEnd::kEncodedLength)) return -1;
  std::vector<std::uint8_t> tail(static_cast<std::size_t>(length));
  const std::int64_t base = size - length;
  if (!ReadAt(stream, base, tail.data(), tail.size())) return -1;

  const std::uint8_t s0 = static_cast<std::uint8_t>(signature);
  const std::uint8_t s1 = static_cast<std::uint8_t>(signature >> 8);
  const std::uint8_t s2 = static_cast<std::uint8_t>(signature >> 16);
  const std::uint8_t s3 = static_cast<std::uint8_t>(signature >> 24);
  for (std::int64_t i = length - 1; i >= 3; --i) {
    const auto at = static_cast<std::size_t>(i);
    if (tail[at] != s3 || tail[at - 1] != s2 || tail[at - 2] != s1 || tail[at - 3] != s0) continue;
    const std::size_t start = at - 3;
    const std::size_t after = tail.size() - start;
    if (after < ZipCentralDirEnd::kEncodedLength) continue;
    ByteReader in(tail.data() + start, ZipCentralDirEnd::kEncodedLength);
    ZipCentralDirEnd record;
    record.DecodeFrom(in);
    // Only a record whose comment reaches exactly to the end counts: that rejects signature
    // bytes inside a comment and archives followed by junk.
    if (record.commentLength != after - ZipCentralDirEnd::kEncodedLength) continue;
    central_dir_end_ = record;
    const auto* comment = tail.data() + start + ZipCentralDirEnd::kEncodedLength;
    archive_comment_.assign(reinterpret_cast<const char*>(comment), record.commentLength);
    return base + static_cast<std::int64_t>(start);
  }
  return -1;
}

bool DirManager::HasCentralDirEnd() {
  const bool found =
      FindCentralDirEnd(settings_.zip_format ? sig::kCentralDirEnd : sig::kAltCentralDirEnd) >= 0;
  return found || settings_.open_corrupted_archives;
}

void DirManager::TakeRollbackCopy() {
  RBCDir.Assign(CDir);
  rollback_end_ = EndRecords{archive_comment_, zip64_locator_, zip64_central_dir_end_,
                             central_dir_end_, zip64_,         central_dir_offset_};
}

void DirManager::RestoreRollbackCopy() {
  CDir.Assign(RBCDir);
  archive_comment_ = rollback_end_.archive_comment;
  zip64_locator_ = rollback_end_.zip64_locator;
  zip64_central_dir_end_ = rollback_end_.zip64_central_dir_end;
  central_dir_end_ = rollback_end_.central_dir_end;
  zip64_ = rollback_end_.zip64;
  central_dir_offset_ = rollback_end_.central_dir_offset;
}

bool DirManager::IsSFXArchive() const {
  return CDir.Count() > 0 && CDir.GetItem(0).CentralDir.relOffsetLH != 0;
}

bool DirManager::IsEncrypted() const {
  return CDir.Count() > 0 && CDir.GetItem(0).IsEncrypted();
}

}  // namespace qm::archive
