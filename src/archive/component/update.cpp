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
    DirArray& dir = dir_manager_->CDir;
    for (std::int32_t i = 0; i < dir.Count(); ++i) dir.ItemPtr(i)->Modified = false;
    dir_manager_->TakeRollbackCopy();
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
  if (dir_manager_) dir_manager_->RestoreRollbackCopy();
}

}  // namespace qm::archive
