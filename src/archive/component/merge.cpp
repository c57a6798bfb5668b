// Merging another archive by copying its records as one block, and appending one file to
// another; both copy in 1 MiB pieces with progress events.
//
// A merge writes over this archive's directory, so it goes through the commit's rewrite: the
// old directory and end record go into the tail file beside the archive before the archive is
// cut, and the tail is dropped only once the merged directory is on the medium (or, where the
// folder cannot hold the tail file, the merged archive is written beside and renamed over it).
// A copy that fails, comes up short or is cancelled puts the archive back byte for byte; a
// process that dies in the middle leaves the tail for the next open to play back.
#include <algorithm>
#include <vector>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/directory/dir_manager.h"
#include "archive/writing/same_file.h"
#include "archive/writing/tail_file.h"
#include "archive/zip_archiver.h"
#include "platform/file_mode.h"
#include "platform/platform.h"

namespace qm::archive {
namespace {

constexpr std::int64_t kCopyBlock = 1 << 20;

}  // namespace

bool BaseArchiver::CopyBlocks(platform::Stream& out, platform::Stream& in, std::int64_t count,
                              const std::u16string& file_name, ProcessOperation operation) {
  std::vector<unsigned char> buffer(
      static_cast<std::size_t>(std::clamp<std::int64_t>(count, 0, kCopyBlock)));
  std::int64_t copied = 0;
  while (copied < count) {
    if (progress_enabled_) {
      const double percent = static_cast<double>(copied) * 100.0 / static_cast<double>(count);
      DoFileProgress(file_name, percent, operation, ProgressPhase::ppProcess, progress_cancel_);
      if (!progress_cancel_) {
        DoOverallProgress(percent, operation, ProgressPhase::ppProcess, progress_cancel_);
      }
      if (progress_cancel_) return false;
    }
    const auto n = static_cast<std::size_t>(std::min(count - copied, kCopyBlock));
    const std::size_t got = in.Read(buffer.data(), n);
    if (got < n) return false;
    if (out.Write(buffer.data(), got) != got) return false;
    copied += static_cast<std::int64_t>(got);
  }
  return true;
}

bool BaseArchiver::FastFileAppend(platform::Stream& out, platform::Stream& in,
                                  const std::u16string& file_name) {
  out.SetPosition(out.Size());
  in.SetPosition(0);
  const std::int64_t size = in.Size();
  progress_enabled_ = true;
  progress_cancel_ = false;
  if (progress_enabled_) {
    DoFileProgress(file_name, 0, ProcessOperation::poMakeSFX, ProgressPhase::ppStart,
                   progress_cancel_);
    DoOverallProgress(0, ProcessOperation::poMakeSFX, ProgressPhase::ppStart, progress_cancel_);
  }
  // A cancel answered at the start stops the copy as well: an incomplete copy is never
  // reported as complete.
  const bool complete =
      !progress_cancel_ && CopyBlocks(out, in, size, file_name, ProcessOperation::poMakeSFX);
  if (progress_enabled_) {
    bool ignored = false;
    DoFileProgress(file_name, 100, ProcessOperation::poMakeSFX, ProgressPhase::ppEnd, ignored);
    DoOverallProgress(100, ProcessOperation::poMakeSFX, ProgressPhase::ppEnd, ignored);
  }
  return complete;
}

void BaseArchiver::MergeFrom(BaseArchiver& other, const std::u16string& archive_file_name) {
  CheckOpen();
  CheckNoUpdate();
  other.CheckOpen();
  if (tail_file_)
    throw ArchiveError(ErrorSite::kTailFileBlocked, {tail_file_->Path()}, ComponentName());
  DirManager& dm = *dir_manager_;
  const DirManager& source_dm = *other.dir_manager_;
  platform::Stream& archive = *archive_stream_;
  platform::Stream& source = *other.archive_stream_;

  // Where this archive's last record ends, and the other's records.
  const std::int64_t cut = std::clamp(dm.CentralDirOffset(), dm.StubSize(), archive.Size());
  const std::int64_t from = std::clamp<std::int64_t>(source_dm.StubSize(), 0, source.Size());
  const std::int64_t count =
      std::clamp<std::int64_t>(source_dm.CentralDirOffset() - from, 0, source.Size() - from);

  progress_enabled_ = true;
  progress_cancel_ = false;
  DoFileProgress(archive_file_name, 0, ProcessOperation::poMerge, ProgressPhase::ppStart,
                 progress_cancel_);
  if (!progress_cancel_) {
    DoOverallProgress(0, ProcessOperation::poMerge, ProgressPhase::ppStart, progress_cancel_);
  }
  if (progress_cancel_) return;

  dm.TakeRollbackCopy();
  const bool merged = RewriteFrom(
      [cut] { return cut; },
      [&](platform::Stream*, std::int64_t) {
        source.SetPosition(from);
        // Short, failed or cancelled: the archive goes back as it was, directory included.
        if (!CopyBlocks(*archive_stream_, source, count, archive_file_name,
                        ProcessOperation::poMerge)) {
          return false;
        }
        // The copied records now start at `cut`; the other's offsets count from its file start.
        const std::int64_t delta = cut - from;
        DirArray& dir = dm.CDir;
        dir.ClearTags();
        for (std::int32_t j = 0; j < source_dm.CDir.Count(); ++j) {
          DirItem moved = source_dm.CDir.GetItem(j);
          moved.Tagged = false;
          moved.Modified = false;
          MoveLocalHeaderOffset(moved, delta);
          std::int32_t k = -1;
          if (!FindReplaceable(dir, moved.Name, k)) {
            const std::int32_t next = dir.Count();
            dir.SetCount(next + 1);
            dir.SetItem(next, moved);
            continue;
          }
          std::u16string destination = file_name_ + platform::kPathSeparator + dir.GetItem(k).Name;
          const bool replace = OverwriteAllowed(
              archive_file_name + platform::kPathSeparator + moved.Name, destination,
              [&] { return moved.DosDateTime() <=> dir.GetItem(k).DosDateTime(); });
          // A refused prompt ends the merge of the directories; the records stay in the file,
          // unreferenced, as those of kept entries do.
          if (options_.OverwriteMode == OverwriteMode::omPrompt && !replace) break;
          if (replace) dir.SetItem(k, moved);
        }
        return true;
      });
  if (!merged) return;
  if (progress_enabled_) {
    bool ignored = false;
    DoFileProgress(archive_file_name, 100, ProcessOperation::poMerge, ProgressPhase::ppEnd,
                   ignored);
    DoOverallProgress(100, ProcessOperation::poMerge, ProgressPhase::ppEnd, ignored);
  }
}

void ZipArchiver::MergeWith(const std::u16string& archive_file_name) {
  CheckOpen();
  CheckNoUpdate();
  // Its own records copied behind its directory would only double the file (whatever name
  // leads to it: a link or another spelling).
  if (!InMemory() && !IsCustomStream() && SameFile(FileName(), archive_file_name)) {
    throw ArchiveError(ErrorSite::kMergeIntoItself, {archive_file_name}, ComponentName());
  }
  ZipArchiver other;
  other.SetFileName(archive_file_name);
  other.SetOpenCorruptedArchives(false);
  other.OpenArchive(platform::file_mode::kRead | platform::file_mode::kShareDenyNone);
  MergeFrom(other, archive_file_name);
}

}  // namespace qm::archive
