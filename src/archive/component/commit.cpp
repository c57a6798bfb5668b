// The commit: the archive rewritten in place from its lowest changed record, made safe by the
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
// the old archive comes back whole. The trailer names the archive file and the bytes before
// the cut, so that no tail is ever played over another archive or a later state of this one. Dying
// in 1 leaves an incomplete tail file (its trailer is written last), which the next open deletes:
// the archive was not touched yet.
#include <algorithm>
#include <optional>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/component/encode_ahead.h"
#include "archive/component/scoped_value.h"
#include "archive/directory/dir_manager.h"
#include "archive/writing/commit_plan.h"
#include "archive/writing/empty_folders.h"
#include "archive/writing/private_file.h"
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

// Gives the archive written beside the old one the old one's owner, group (as far as this
// process may: others keep it as this process made it) and permissions, so that renaming it
// over the old one changes who may read and write the archive in no way.
void TakeOverOwnerAndMode(platform::FileStream& fresh, const platform::FileStatus& archive) {
  const auto made = fresh.Handle().Status();
  if (made && (made->owner != archive.owner || made->group != archive.group)) {
    fresh.Handle().SetOwner(archive.owner, archive.group);
  }
  std::error_code error = fresh.Handle().SetAttributes(0, archive.unix_mode);
  if (error == std::errc::operation_not_supported) {
    error = platform::Platform::Current().SetUnixPermissions(fresh.FileName(), archive.unix_mode);
  }
  if (error) throw platform::WriteError("Stream write error: " + error.message());
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
  DirManager& dm = *dir_manager_;
  dm.SaveDir(recreate_end, archive_stream_);
}

std::int64_t BaseArchiver::CommitCut(const CommitPlan& plan) {
  DirManager& dm = *dir_manager_;
  const std::int64_t size = archive_stream_->Size();
  if (!plan.appends) return static_cast<std::int64_t>(plan.cut);
  // Nothing old changes: new records go where the old directory starts. A directory rebuilt
  // from local headers "starts" at the end of the stream, so nothing read is overwritten.
  if (size <= dm.StubSize()) return dm.StubSize();
  return std::clamp<std::int64_t>(dm.CentralDirOffset(), dm.StubSize(), size);
}

void BaseArchiver::SaveTail(std::int64_t cut) {
  // Beside an archive file, so that the next open finds it after a crash; a temporary file for
  // archives in memory or in a caller's stream, which do not outlive the process anyway.
  const bool beside = !in_memory_ && !is_custom_stream_;
  platform::Platform& os = platform::Platform::Current();
  NewPrivateFile made;
  if (beside) {
    made.path = TailFile::NameFor(file_name_);
    std::error_code error;
    made.file = os.CreatePrivateFile(made.path, error);
    // Something was put at the tail's name after the open looked (the open deals with what
    // was there before): it is not this commit's to write through or over.
    if (error == std::errc::file_exists)
      throw ArchiveError(ErrorSite::kForeignTailFile, {made.path}, ComponentName());
    if (!made.file)
      throw platform::FileCreateError(platform::Utf16ToUtf8(made.path), error.message());
  } else {
    made = CreatePrivateFileIn(temp_dir_.empty() ? os.TempDirectory() : temp_dir_, u"FC");
  }
  tail_file_ =
      std::make_unique<TailFile>(made.path, std::move(made.file), *archive_stream_, cut, beside);
}

void BaseArchiver::CommitUpdate() {
  if (update_count_ <= 0) return;
  update_count_ = 0;
  DirManager& dm = *dir_manager_;

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
  // Planned inside the rewrite's protection: an entry without its old record fails the
  // commit before anything is cut.
  CommitPlan plan;
  const bool committed = RewriteFrom(
      [&] {
        plan = PlanCommit(dm.RBCDir, dm.CDir);
        return CommitCut(plan);
      },
      [&](platform::Stream* old_records, std::int64_t old_base) {
        return RunEntryLoop(plan.entries, old_records, old_base);
      });
  if (committed) FinishCommit(op);
}

bool BaseArchiver::RewriteFrom(const std::function<std::int64_t()>& find_cut,
                               const RecordsWriter& write_records) {
  DirManager& dm = *dir_manager_;
  platform::Stream& archive = *archive_stream_;
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
  DirManager& dm = *dir_manager_;
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
  DirManager& dm = *dir_manager_;
  platform::Platform& os = platform::Platform::Current();
  platform::Stream& old_archive = *archive_stream_;
  const std::u16string folder = FolderOf(file_name_);
  // Owner-only until it takes the archive's place: until then it is nobody else's business.
  NewPrivateFile made;
  try {
    made = CreatePrivateFileIn(folder, u"FC");
  } catch (...) {
    dm.RestoreRollbackCopy();
    throw;
  }
  const std::u16string path = made.path;
  const auto made_identity = made.file->Status();
  auto fresh = std::make_unique<platform::FileStream>(path, std::move(made.file));
  auto give_up = [&] {
    archive_stream_ = &old_archive;
    dm.SetCompressedStream(old_archive);
    fresh.reset();
    os.DeleteFile(path);
    dm.RestoreRollbackCopy();
  };
  try {
    old_archive.SetPosition(0);
    CopyExactly(old_archive, *fresh, commit_cut_);
    archive_stream_ = fresh.get();
    if (!write_records(&old_archive, 0)) {
      give_up();
      return false;
    }
    dm.SaveDir(true, fresh.get());
    const auto archive_status = StatusOf(old_archive);
    if (!archive_status || !made_identity)
      throw platform::WriteError("Stream write error: the archive's owner and mode are unknown");
    TakeOverOwnerAndMode(*fresh, *archive_status);
    fresh->Flush();
    fresh.reset();
    // Opened under its temporary name with the archive's mode before the rename, so that once
    // renamed nothing is left that could fail: the handle follows the file.
    const std::uint16_t mode =
        platform::file_mode::IsCreate(file_open_mode_)
            ? platform::file_mode::kReadWrite | platform::file_mode::kShareDenyWrite
            : file_open_mode_;
    fresh = std::make_unique<platform::FileStream>(path, mode);
    // The name was the only hold on the file for a moment: what is renamed must be what was
    // written.
    const auto reopened = fresh->Handle().Status();
    if (!reopened || !reopened->SameFile(*made_identity)) {
      throw platform::WriteError("Stream write error: " + platform::Utf16ToUtf8(path) +
                                 " was replaced");
    }
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
  archive_stream_ = owned_stream_.get();
  dm.SetCompressedStream(*archive_stream_);
  return true;
}

bool BaseArchiver::RunEntryLoop(std::vector<PlannedEntry> entries, platform::Stream* old_records,
                                std::int64_t old_base) {
  DirManager& dm = *dir_manager_;
  platform::Stream& archive = *archive_stream_;
  const RecordSettings settings = MakeRecordSettings();
  // The old record is the one the plan matched by its offset: names may repeat.
  auto copy_old = [&](const PlannedEntry& entry) {
    if (entry.old_index < 0 || old_records == nullptr)
      throw ArchiveError(ErrorSite::kRollbackIndex);
    const DirItem& old = dm.RBCDir.GetItem(entry.old_index);
    const DirItem& item = dm.CDir.GetItem(entry.index);
    if (!CarriesOldData(item)) {
      // A replacement that was not written falls back to the old entry, and nothing of the
      // replacement stays with it: a moved source it never stored is not deleted either.
      dm.CDir.SetItem(entry.index, old);
      DirItem& kept = *dm.CDir.ItemPtr(entry.index);
      if (kept.HasChange()) kept.EditChange() = DirItemChange{};
      CopyItemRecord(kept, old, false, *old_records, old_base, archive, settings);
      return;
    }
    const bool renamed = item.Modified && item.Operation == ProcessOperation::poRename;
    CopyItemRecord(*dm.CDir.ItemPtr(entry.index), old, renamed, *old_records, old_base, archive,
                   settings);
  };

  // A second processor compresses the sources ahead while this thread writes; with one, the
  // items are read and compressed at their turns, with no thread in between.
  std::optional<EncodeAhead> ahead;
  if (platform::UsableProcessors() > 1) ahead.emplace(*this, entries);
  const ScopedValue<EncodeAhead*> ahead_in_use(encode_ahead_, ahead ? &*ahead : nullptr);

  commit_action_ = Action::fxaIgnore;
  for (std::size_t turn = 0; turn < entries.size() && !progress_cancel_; ++turn) {
    const PlannedEntry entry = entries[turn];
    if (ahead) ahead->SetTurn(turn);
    bool written = true;
    do {
      commit_action_ = Action::fxaIgnore;
      written = true;
      if (CarriesOldData(dm.CDir.GetItem(entry.index))) {
        copy_old(entry);
      } else {
        written = WriteItemRecord(entry.index);
      }
    } while (commit_action_ == Action::fxaRetry);
    if (commit_action_ == Action::fxaAbort || progress_cancel_) return false;
    if (written) {
      ++processed_file_no_;
    } else if (entry.old_index >= 0) {
      // The entry replaced an old one (added, updated or moved over it): the old version is
      // kept.
      copy_old(entry);
    } else {
      // A new entry whose source failed is dropped; a moved one too, so that its source,
      // never stored, is not deleted either. The entries after it move down one place.
      dm.CDir.DeleteItem(entry.index);
      for (PlannedEntry& later : entries) {
        if (later.index > entry.index) --later.index;
      }
    }
  }
  return !progress_cancel_;
}

void BaseArchiver::RollBackUpdate() {
  DirManager& dm = *dir_manager_;
  dm.RestoreRollbackCopy();
  if (archive_stream_ == nullptr) {
    tail_file_.reset();
    return;
  }
  platform::Stream& archive = *archive_stream_;
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
  DirManager& dm = *dir_manager_;
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
