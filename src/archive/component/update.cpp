#include <stdexcept>
#include <vector>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/directory/dir_manager.h"
#include "platform/file_mode.h"

namespace qm::archive {

void BaseArchiver::BeginUpdate() {
  if (spanning_mode_ != SpanningMode::smNone && updated_)
    throw ArchiveError(ErrorSite::kSeveralVolumeTransactions);
  if (update_count_ == 0) {
    SetActive(true);
    const bool read_only = !platform::file_mode::IsCreate(file_open_mode_) &&
                           (file_open_mode_ & platform::file_mode::kAccessMask) == 0;
    if (read_only && !is_custom_stream_)
      throw ArchiveError(ErrorSite::kArchiveReadOnly, ComponentName());
    DirArray& dir = dm_handle_->CDir;
    for (std::int32_t i = 0; i < dir.Count(); ++i) dir.ItemPtr(i)->Modified = false;
    dm_handle_->RBCDir.Assign(dir);
  }
  ++update_count_;
}

void BaseArchiver::EndUpdate() {
  if (update_count_ <= 0) return;
  if (update_count_ >= 2) {
    --update_count_;
    return;
  }
  updated_ = true;
  CommitUpdate();
  if (spanning_mode_ != SpanningMode::smNone && file_open_mode_ == platform::file_mode::kCreate) {
    file_open_mode_ = platform::file_mode::kReadWrite | platform::file_mode::kShareDenyWrite;
  }
}

// Changes made since BeginUpdate are undone in memory too: the archive file keeps its old
// content, and a directory that kept them would later be written without their data.
void BaseArchiver::CancelUpdate() {
  if (update_count_ <= 0) return;
  update_count_ = 0;
  if (dm_handle_) dm_handle_->CDir.Assign(dm_handle_->RBCDir);
}

// The commit. The writing side replaces this body with the rewrite of the archive from its
// first changed entry (tail file, carried-over records, new directory, rollback on failure).
// Until then no operation changes the directory, so a commit has nothing to write.
void BaseArchiver::CommitUpdate() {
  update_count_ = 0;
  const DirArray& dir = dm_handle_->CDir;
  for (std::int32_t i = 0; i < dir.Count(); ++i) {
    if (dir.GetItem(i).Modified) {
      throw std::logic_error("Writing changed items is not available in this build");
    }
  }
}

// The directory writer. An empty directory is only the end record with the comment, written
// right after the stub; directories with entries are written by the writing side.
void BaseArchiver::WriteDirectory(bool recreate_end) {
  static_cast<void>(recreate_end);
  DirManager& dm = *dm_handle_;
  if (dm.CDir.Count() > 0) {
    throw std::logic_error("Writing a directory is not available in this build");
  }
  ZipCentralDirEnd end;
  end.signature = is_zip_format_ ? sig::kCentralDirEnd : sig::kAltCentralDirEnd;
  end.offsetStartDir = static_cast<std::uint32_t>(dm.StubSize());
  const std::string& comment = dm.ArchiveComment();
  end.commentLength = static_cast<std::uint16_t>(std::min<std::size_t>(comment.size(), 0xFFFF));
  std::vector<std::uint8_t> bytes;
  ByteWriter out(bytes);
  end.EncodeTo(out);
  out.Bytes(comment.data(), end.commentLength);
  platform::Stream& stream = *compressed_stream_;
  stream.SetPosition(dm.StubSize());
  stream.WriteBuffer(bytes.data(), bytes.size());
  stream.SetSize(dm.StubSize() + static_cast<std::int64_t>(bytes.size()));
}

}  // namespace qm::archive
