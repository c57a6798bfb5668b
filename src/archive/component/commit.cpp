// The commit: the archive rewritten in place from its first changed entry, made safe by the
// tail file; the rollback; the directory writer's entry points.
//
// Order of a commit on an archive file, and why each step comes where it does:
//   1. the archive from the cut to its end goes into the tail file beside it, which is flushed
//      (and its folder entry) before anything else: from step 2 on it is the only copy of the
//      records after the cut;
//   2. the archive is cut, new records are written and old ones copied back from the tail;
//   3. the new directory is written and the archive flushed to the medium;
//   4. only then is the tail file deleted.
// A failure in 2 to 4 plays the tail back (RollBackUpdate). A process that dies in 2 to 4
// leaves the tail file behind; the next open finds it and plays it back (RecoverArchive), so
// the old archive comes back whole. Dying in 1 leaves an incomplete tail file (its trailer is
// written last), which the next open deletes: the archive was not touched yet.
#include <algorithm>
#include <optional>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/component/encode_ahead.h"
#include "archive/component/scoped_value.h"
#include "archive/directory/dir_manager.h"
#include "archive/writing/empty_folders.h"
#include "archive/writing/record_writer.h"
#include "archive/writing/tail_file.h"
#include "platform/file_attributes.h"
#include "platform/file_mode.h"
#include "platform/file_stream.h"
#include "platform/platform.h"
#include "platform/processors.h"
#include "platform/stream_errors.h"
#include "platform/text.h"

namespace qm::archive {
namespace {

bool CarriesOldData(const DirItem& item) {
  return !item.Modified || item.Operation == ProcessOperation::poRename ||
         item.Operation == ProcessOperation::poChangeAttr ||
         item.Operation == ProcessOperation::poChangeComment;
}

}  // namespace

RecordSettings BaseArchiver::MakeRecordSettings() const {
  return RecordSettings{.oem_file_names = options_.OEMFileNames,
                        .unicode_filenames = unicode_filenames_,
                        .zip64_mode = zip64_mode_};
}

std::u16string BaseArchiver::MakeTempFileName() const {
  platform::Platform& os = platform::Platform::Current();
  const std::u16string folder = temp_dir_.empty() ? os.TempDirectory() : temp_dir_;
  std::error_code error;
  std::u16string name = os.CreateTempFile(folder, u"FC", error);
  if (name.empty()) {
    throw platform::FileCreateError(platform::Utf16ToUtf8(folder + u"FC"), error.message());
  }
  return name;
}

void BaseArchiver::WriteDirectory(bool recreate_end) {
  if (WritesVolumes() && platform::file_mode::IsCreate(file_open_mode_)) {
    WriteDirectoryToVolumes();
    return;
  }
  DirManager& dm = *dm_handle_;
  dm.SaveDir(recreate_end, compressed_stream_);
}

std::int32_t BaseArchiver::FindFirstChangedItem() const {
  const DirArray& old_dir = dm_handle_->RBCDir;
  const DirArray& dir = dm_handle_->CDir;
  const std::int32_t n = std::min(old_dir.Count(), dir.Count());
  for (std::int32_t i = 0; i < n; ++i) {
    const DirItem& item = dir.GetItem(i);
    if (item.Modified || item.Name != old_dir.GetItem(i).Name) return i;
  }
  return n;
}

std::int64_t BaseArchiver::CommitCut(std::int32_t first) {
  DirManager& dm = *dm_handle_;
  const std::int64_t size = compressed_stream_->Size();
  if (first < dm.RBCDir.Count()) {
    return static_cast<std::int64_t>(dm.RBCDir.GetItem(first).LocalHeaderOffset());
  }
  // Nothing old changes: new records go where the old directory starts. A directory rebuilt
  // from local headers "starts" at the end of the stream, so nothing read is overwritten.
  if (size <= dm.StubSize()) return dm.StubSize();
  return std::clamp<std::int64_t>(dm.CentralDirOffset(), dm.StubSize(), size);
}

void BaseArchiver::SaveTail(std::int64_t cut) {
  // Beside an archive file, so that the next open finds it after a crash; a temporary file for
  // archives in memory or in a caller's stream, which do not outlive the process anyway.
  const bool beside = !in_memory_ && !is_custom_stream_;
  const std::u16string path = beside ? TailFile::NameFor(file_name_) : MakeTempFileName();
  tail_file_ = std::make_unique<TailFile>(path, *compressed_stream_, cut, beside);
}

void BaseArchiver::CommitUpdate() {
  if (update_count_ <= 0) return;
  update_count_ = 0;
  DirManager& dm = *dm_handle_;

  processed_file_no_ = 0;
  processed_file_count_ = 0;
  progress_cancel_ = false;
  progress_enabled_ = true;
  processed_files_total_size_ = 0;
  processed_files_size_ = 0;
  ProcessOperation op = ProcessOperation::poDelete;
  bool any_modified = false;
  for (std::int32_t i = 0; i < dm.CDir.Count(); ++i) {
    const DirItem& item = dm.CDir.GetItem(i);
    if (!item.Modified) continue;
    processed_files_total_size_ += static_cast<std::int64_t>(item.UncompressedSize());
    ++processed_file_count_;
    if (!any_modified) op = item.Operation;
    any_modified = true;
  }
  DoOverallProgress(0, op, ProgressPhase::ppStart, progress_cancel_);
  if (progress_cancel_) {
    // Nothing was written; the directory goes back with the file so that both agree.
    dm.RestoreRollbackCopy();
    return;
  }

  if (WritesVolumes()) {
    CommitToVolumes(op);
    return;
  }
  const std::int32_t first = FindFirstChangedItem();
  const bool committed = RewriteFrom([&] { return CommitCut(first); },
                                     [&](platform::Stream* old_records, std::int64_t old_base) {
                                       return RunEntryLoop(first, old_records, old_base);
                                     });
  if (committed) FinishCommit(op);
}

bool BaseArchiver::RewriteFrom(const std::function<std::int64_t()>& find_cut,
                               const RecordsWriter& write_records) {
  DirManager& dm = *dm_handle_;
  platform::Stream& archive = *compressed_stream_;
  // A tail that an earlier failed rollback could not play back is the only copy of old
  // records: nothing may run over it.
  if (tail_file_)
    throw ArchiveError(ErrorSite::kTailFileBlocked, {tail_file_->Path()}, ComponentName());
  // A failure here leaves the archive untouched and no tail file; the directory goes back too,
  // so that a failed commit always leaves memory as BeginUpdate found it.
  bool beside = false;
  try {
    commit_cut_ = find_cut();
    if (archive.Size() > commit_cut_) {
      try {
        SaveTail(commit_cut_);
      } catch (const platform::FileCreateError&) {
        // The folder cannot hold the tail file: the new archive is written beside the old one
        // instead and renamed over it.
        if (in_memory_ || is_custom_stream_) throw;
        beside = true;
      }
    }
  } catch (...) {
    dm.RestoreRollbackCopy();
    throw;
  }
  if (beside) return CommitBeside(write_records);

  bool stopped = false;
  try {
    if (tail_file_) tail_file_->MarkArchiveCut();
    archive.SetSize(commit_cut_);
    archive.SetPosition(commit_cut_);
    stopped = !write_records(tail_file_ ? &tail_file_->Data() : nullptr, commit_cut_);
    if (!stopped) {
      dm.SaveDir(true, &archive);
      // The new directory must be on the medium before the tail file, the only other copy of
      // the old records, goes.
      FlushToMedium(archive);
      if (tail_file_) {
        tail_file_->MarkArchiveCommitted();
        tail_file_->Drop();
      }
      tail_file_.reset();
    }
  } catch (...) {
    RollBackUpdate();
    throw;
  }
  if (stopped) RollBackUpdate();
  return !stopped;
}

void BaseArchiver::FinishCommit(ProcessOperation op) {
  DirManager& dm = *dm_handle_;
  // While the marks still say which sources this commit moved: once they are cleared, no
  // later commit takes these entries for moves again.
  DeleteMovedSources();
  for (std::int32_t i = 0; i < dm.CDir.Count(); ++i) {
    DirItem& item = *dm.CDir.ItemPtr(i);
    item.Modified = false;
    if (item.HasChange()) item.EditChange().OldName.clear();
  }
  // The new archive is whole and on the medium: a cancel answered here cannot undo it, and
  // rolling back would cut records that no longer lie where the old directory says.
  bool late_cancel = false;
  DoOverallProgress(100, op, ProgressPhase::ppEnd, late_cancel);
}

bool BaseArchiver::CommitBeside(const RecordsWriter& write_records) {
  DirManager& dm = *dm_handle_;
  platform::Platform& os = platform::Platform::Current();
  platform::Stream& old_archive = *compressed_stream_;
  const std::u16string folder = FolderOf(file_name_);
  std::error_code error;
  const std::u16string path = os.CreateTempFile(folder, u"FC", error);
  if (path.empty()) {
    dm.RestoreRollbackCopy();
    throw platform::FileCreateError(platform::Utf16ToUtf8(folder), error.message());
  }
  std::unique_ptr<platform::FileStream> fresh;
  auto give_up = [&] {
    compressed_stream_ = &old_archive;
    dm.SetCompressedStream(old_archive);
    fresh.reset();
    os.DeleteFile(path);
    dm.RestoreRollbackCopy();
  };
  try {
    fresh = std::make_unique<platform::FileStream>(path, platform::file_mode::kCreate);
    old_archive.SetPosition(0);
    CopyExactly(old_archive, *fresh, commit_cut_);
    compressed_stream_ = fresh.get();
    if (!write_records(&old_archive, 0)) {
      give_up();
      return false;
    }
    dm.SaveDir(true, fresh.get());
    fresh->Flush();
    fresh.reset();
    // Opened under its temporary name with the archive's mode before the rename, so that once
    // renamed nothing is left that could fail: the handle follows the file.
    const std::uint16_t mode =
        platform::file_mode::IsCreate(file_open_mode_)
            ? platform::file_mode::kReadWrite | platform::file_mode::kShareDenyWrite
            : file_open_mode_;
    fresh = std::make_unique<platform::FileStream>(path, mode);
    if (const auto replace_error = os.ReplaceFile(path, file_name_)) {
      throw platform::WriteError("Stream write error: " + replace_error.message());
    }
  } catch (...) {
    give_up();
    throw;
  }
  // The new archive is in place. Should the rename not reach the medium, the old one is what
  // a crash leaves: whole too.
  os.FlushDirectory(folder);
  owned_stream_ = std::move(fresh);
  compressed_stream_ = owned_stream_.get();
  dm.SetCompressedStream(*compressed_stream_);
  return true;
}

bool BaseArchiver::RunEntryLoop(std::int32_t first, platform::Stream* old_records,
                                std::int64_t old_base) {
  DirManager& dm = *dm_handle_;
  platform::Stream& archive = *compressed_stream_;
  const RecordSettings settings = MakeRecordSettings();
  const auto old_index = IndexByName(dm.RBCDir);
  auto copy_old = [&](std::int32_t i) {
    DirItem& item = *dm.CDir.ItemPtr(i);
    const bool renamed = item.Modified && item.Operation == ProcessOperation::poRename;
    const auto found = old_index.find(renamed ? item.Change().OldName : item.Name);
    if (found == old_index.end() || old_records == nullptr)
      throw ArchiveError(ErrorSite::kRollbackIndex);
    const DirItem& old = dm.RBCDir.GetItem(found->second);
    if (item.Modified && item.Operation == ProcessOperation::poUpdate) {
      // A replacement that was not written falls back to the old entry.
      dm.CDir.SetItem(i, old);
      CopyItemRecord(*dm.CDir.ItemPtr(i), old, false, *old_records, old_base, archive, settings);
      return;
    }
    CopyItemRecord(item, old, renamed, *old_records, old_base, archive, settings);
  };

  // A second processor compresses the sources ahead while this thread writes; with one, the
  // items are read and compressed at their turns, with no thread in between.
  std::optional<EncodeAhead> ahead;
  if (platform::UsableProcessors() > 1) ahead.emplace(*this);
  const ScopedValue<EncodeAhead*> ahead_in_use(encode_ahead_, ahead ? &*ahead : nullptr);

  commit_action_ = Action::fxaIgnore;
  std::int32_t i = first;
  while (i < dm.CDir.Count() && !progress_cancel_) {
    bool written = true;
    do {
      commit_action_ = Action::fxaIgnore;
      written = true;
      if (CarriesOldData(dm.CDir.GetItem(i))) {
        copy_old(i);
      } else {
        written = WriteItemRecord(i);
      }
    } while (commit_action_ == Action::fxaRetry);
    if (commit_action_ == Action::fxaAbort || progress_cancel_) return false;
    if (written) {
      ++processed_file_no_;
      ++i;
      continue;
    }
    const ProcessOperation operation = dm.CDir.GetItem(i).Operation;
    if (operation == ProcessOperation::poAdd || operation == ProcessOperation::poMove) {
      // A new entry whose source failed is dropped; a moved one too, so that its source,
      // never stored, is not deleted either.
      dm.CDir.DeleteItem(i);
      if (ahead) ahead->Dropped(i);
    } else {
      copy_old(i);
      ++i;
    }
  }
  return !progress_cancel_;
}

void BaseArchiver::RollBackUpdate() {
  DirManager& dm = *dm_handle_;
  dm.RestoreRollbackCopy();
  if (compressed_stream_ == nullptr) {
    tail_file_.reset();
    return;
  }
  platform::Stream& archive = *compressed_stream_;
  if (tail_file_) {
    // The new directory may already be on the medium (a failure while dropping the tail): the
    // old archive comes back all the same, so that file and memory agree.
    tail_file_->MarkArchiveCut();
    tail_file_->RestoreInto(archive);
    tail_file_->Drop();
    tail_file_.reset();
  } else {
    // Nothing followed the cut: cutting there again gives the old bytes back.
    archive.SetSize(commit_cut_);
    FlushToMedium(archive);
  }
}

namespace {

// Whether the file at `path` is still what was read into the archive: the same file, of the
// same size, not written since. A source never read (its record failed) is not.
bool UnchangedSinceRead(const std::u16string& path,
                        const std::optional<platform::FileStatus>& read) {
  if (!read) return false;
  const auto now = platform::Platform::Current().GetFileStatus(path, true);
  return now && now->SameFile(*read) && now->size == read->size &&
         now->modified_ns == read->modified_ns;
}

}  // namespace

void BaseArchiver::DeleteMovedSources() {
  platform::Platform& os = platform::Platform::Current();
  DirManager& dm = *dm_handle_;
  for (const bool folders : {false, true}) {
    const std::int32_t count = dm.CDir.Count();
    for (std::int32_t k = 0; k < count; ++k) {
      // Folders go deepest first: adding makes a folder's entry before the entries inside it.
      const std::int32_t i = folders ? count - 1 - k : k;
      const DirItem& item = dm.CDir.GetItem(i);
      if (!item.Modified || item.Operation != ProcessOperation::poMove ||
          item.Change().SrcFileName.empty()) {
        continue;
      }
      const bool is_folder = (item.CentralDir.externalAttr & platform::attr::kDirectory) != 0;
      if (is_folder != folders) continue;
      const std::u16string& source = item.Change().SrcFileName;
      Action action = Action::fxaIgnore;
      do {
        action = Action::fxaIgnore;
        try {
          if (!folders) {
            // An edit made after the bytes were read is in the archive nowhere: such a file
            // stays where it is.
            if (!UnchangedSinceRead(source, item.Change().SourceStatus)) {
              throw ArchiveError(ErrorSite::kSourceChanged, {source}, ComponentName());
            }
            if (os.DeleteFile(source)) {
              os.SetAttributes(source, 0);
              if (os.DeleteFile(source))
                throw ArchiveError(ErrorSite::kCannotDeleteSource, {source}, ComponentName());
            }
          } else if (!RemoveEmptyFolderTree(source)) {
            throw ArchiveError(ErrorSite::kCannotDeleteFolder, {source}, ComponentName());
          }
        } catch (const ArchiveError& e) {
          DoProcessFileFailure(source, item.Operation, e.NativeError(), e.ErrorCode(), e.Message(),
                               action);
        }
      } while (action == Action::fxaRetry);
      if (action == Action::fxaAbort) return;
    }
  }
}

}  // namespace qm::archive
