// Extraction to files and the per-item processing loop that extraction, testing and deletion
// share.
#include <algorithm>
#include <memory>
#include <mutex>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/component/pending_file.h"
#include "archive/directory/dir_manager.h"
#include "archive/names/path_rules.h"
#include "platform/archive_lock.h"
#include "platform/file_attributes.h"
#include "platform/file_mode.h"
#include "platform/file_stream.h"
#include "platform/platform.h"
#include "platform/stream_errors.h"

namespace qm::archive {
namespace {

using platform::kPathSeparator;
using platform::Platform;

std::u16string ForCallers(std::u16string name) {
  std::replace(name.begin(), name.end(), u'/', kPathSeparator);
  return name;
}

bool HasWildcards(const std::u16string& mask) {
  return mask.find_first_of(u"*?") != std::u16string::npos;
}

std::size_t LastSeparator(const std::u16string& name) {
  return name.find_last_of(std::u16string{u'/', kPathSeparator});
}

std::int32_t DosDateTimeOf(const DirItem& item) {
  return static_cast<std::int32_t>((std::uint32_t{item.CentralDir.lastModDate} << 16) |
                                   item.CentralDir.lastModTime);
}

}  // namespace

void BaseArchiver::ExtractFiles() {
  CheckOpen();
  CheckNoUpdate();
  TagItems();
  ProcessTaggedItems(ProcessOperation::poExtract, -1);
}

void BaseArchiver::ExtractFiles(const std::u16string& file_mask, std::int32_t search_attr,
                                const std::u16string& exclusion_mask) {
  CheckOpen();
  CheckNoUpdate();
  if (options_.Recurse || HasWildcards(file_mask) || !exclusion_mask.empty() ||
      search_attr != ArchiveOptions::kDefaultSearchAttr) {
    TagItems(file_mask, search_attr, exclusion_mask);
    ProcessTaggedItems(ProcessOperation::poExtract, -1);
    return;
  }
  // One plain name: that item only; other items keep their marks.
  ArchiveItem f;
  if (FindFirst(file_mask, f, search_attr, exclusion_mask)) {
    dm_handle_->CDir.ItemPtr(f.Handle.ItemNo)->Tagged = true;
    ProcessTaggedItems(ProcessOperation::poExtract, f.Handle.ItemNo);
  } else {
    processed_file_no_ = processed_file_count_ = completed_file_count_ = kept_file_count_ = 0;
  }
}

void BaseArchiver::TagItems() {
  DirArray& dir = dm_handle_->CDir;
  dir.ClearTags();
  ArchiveItem f;
  for (bool found = FindFirst(f); found; found = FindNext(f)) {
    dir.ItemPtr(f.Handle.ItemNo)->Tagged = true;
  }
}

void BaseArchiver::TagItems(const std::u16string& file_mask, std::int32_t search_attr,
                            const std::u16string& exclusion_mask) {
  DirArray& dir = dm_handle_->CDir;
  dir.ClearTags();
  ArchiveItem f;
  for (bool found = FindFirst(file_mask, f, search_attr, exclusion_mask); found;
       found = FindNext(f)) {
    dir.ItemPtr(f.Handle.ItemNo)->Tagged = true;
  }
}

void BaseArchiver::ProcessTaggedItems(ProcessOperation operation, std::int32_t index) {
  std::lock_guard<std::recursive_mutex> lock(platform::ArchiveLock());
  DirArray& dir = dm_handle_->CDir;
  processed_file_no_ = 0;
  completed_file_count_ = 0;
  kept_file_count_ = 0;
  last_made_dir_.clear();
  removable_checked_dir_.clear();
  progress_cancel_ = false;
  progress_enabled_ = true;
  if (index == -1) {
    processed_file_count_ = 0;
    for (std::int32_t i = 0; i < dir.Count(); ++i) {
      if (dir.GetItem(i).Tagged) ++processed_file_count_;
    }
  } else {
    processed_file_count_ = 1;
  }
  const bool reports =
      operation == ProcessOperation::poExtract || operation == ProcessOperation::poTest;
  if (reports) DoOverallProgress(0, operation, ProgressPhase::ppStart, progress_cancel_);

  bool aborted = false;
  for (std::int32_t i = index == -1 ? 0 : index;
       !progress_cancel_ && !aborted && i >= 0 && i < dir.Count();) {
    bool removed = false;
    if (dir.GetItem(i).Tagged) {
      dir.ItemPtr(i)->Operation = operation;
      Action action = Action::fxaIgnore;
      do {
        action = Action::fxaIgnore;
        item_complete_ = false;
        item_kept_ = false;
        const std::u16string stored_name = dir.GetItem(i).Name;
        const std::u16string name = ForCallers(stored_name);
        try {
          bool confirm = true;
          DoConfirmProcessFile(name, operation, confirm);
          if (!confirm) {
            ++kept_file_count_;
            break;
          }
          if (current_dir_.empty()) current_dir_ = Platform::Current().CurrentDirectory();
          const std::u16string base_dir = BaseFolder(base_dir_, current_dir_);
          if (reports) {
            DoFileProgress(stored_name, 0, operation, ProgressPhase::ppStart, progress_cancel_);
            if (progress_cancel_) break;
          }
          const std::int32_t count_before = dir.Count();
          switch (operation) {
            case ProcessOperation::poDelete:
              DeleteItemAt(i);
              removed = dir.Count() < count_before;
              item_complete_ = true;
              break;
            case ProcessOperation::poExtract:
              ExtractItemToFile(i, name, base_dir);
              break;
            case ProcessOperation::poTest:
              TestItem(i, name);
              break;
            default:
              break;
          }
          if (reports) {
            DoFileProgress(stored_name, 100, operation, ProgressPhase::ppEnd, progress_cancel_);
          }
          if (!progress_cancel_) {
            ++processed_file_no_;
            if (item_complete_) ++completed_file_count_;
            if (item_kept_) ++kept_file_count_;
          }
        } catch (const ArchiveError& e) {
          DoProcessFileFailure(name, operation, e.NativeError(), e.ErrorCode(), e.Message(),
                               action);
        }
      } while (action == Action::fxaRetry);
      aborted = action == Action::fxaAbort;
    }
    if (index != -1) break;
    if (!removed) ++i;
  }

  if (reports) {
    // The end event's answer cannot undo the run; the cancel flag keeps telling what happened.
    bool ignored = false;
    DoOverallProgress(100, operation, ProgressPhase::ppEnd, ignored);
  }
  if (progress_cancel_ || aborted) CancelUpdate();
}

void BaseArchiver::ExtractItemToFile(std::int32_t index, std::u16string name,
                                     const std::u16string& base_dir) {
  Platform& os = Platform::Current();
  skip_file_ = false;
  const DirItem& item = dm_handle_->CDir.GetItem(index);
  const bool is_folder =
      (item.CentralDir.externalAttr & platform::attr::kDirectory) != 0 || item.Name.ends_with(u'/');
  std::uint32_t attr = item.CentralDir.externalAttr;
  DoExtractFile(name, attr, item.Comment);

  if (!options_.CreateDirs) {
    const auto cut = LastSeparator(name);
    if (cut != std::u16string::npos) name.erase(0, cut + 1);
  }
  // Nothing lands outside the destination folder unless the caller asked for complete paths.
  if (!options_.AllowPathsOutsideBaseDir && LeadsOutside(name)) {
    throw ArchiveError(ErrorSite::kPathOutsideBase, {name}, ComponentName());
  }
  const std::u16string root =
      options_.AllowPathsOutsideBaseDir && IsCompletePath(name) ? std::u16string() : base_dir;

  if (options_.CreateDirs) {
    const auto cut = LastSeparator(name);
    // "." and ".." are folded before the system sees them: "a/../b.txt" must not need "a".
    const std::u16string folder = os.ExpandPath(
        root + (cut == std::u16string::npos ? std::u16string() : name.substr(0, cut + 1)));
    if (!folder.empty() && folder != last_made_dir_) {
      // A link standing where a folder goes would lead the item outside the base folder.
      if (!root.empty() && os.FindLinkBelow(root, folder))
        throw ArchiveError(ErrorSite::kCannotCreateFolder, {folder}, ComponentName());
      if (os.CreateDirectories(folder))
        throw ArchiveError(ErrorSite::kCannotCreateFolder, {folder}, ComponentName());
      last_made_dir_ = folder;
    }
  }
  if (is_folder) {
    item_complete_ = true;
    return;
  }
  // A file item without a name part would be the destination folder itself: passed over.
  const auto cut = LastSeparator(name);
  if (name.empty() || cut + 1 == name.size()) return;

  std::u16string dest = os.ExpandPath(root + name);
  const std::uint32_t existing = os.GetAttributes(dest);
  if (existing != platform::attr::kInvalid && (existing & platform::attr::kDirectory) == 0) {
    // Every early return below keeps the existing file.
    item_kept_ = true;
    if (!options_.ReplaceReadOnly && (existing & platform::attr::kReadOnly) != 0) return;
    switch (options_.OverwriteMode) {
      case OverwriteMode::omPrompt: {
        bool confirm = false;
        DoConfirmOverwrite(name, dest, confirm);
        if (!confirm) return;
        break;
      }
      case OverwriteMode::omAlways:
        break;
      case OverwriteMode::omNever:
        return;
      case OverwriteMode::omIfNewer:
      case OverwriteMode::omIfOlder: {
        const auto file_time = static_cast<std::int32_t>(os.GetLastWriteDosTime(dest).value_or(0));
        const std::int32_t item_time = DosDateTimeOf(item);
        const bool newer = options_.OverwriteMode == OverwriteMode::omIfNewer;
        if (newer ? item_time <= file_time : item_time >= file_time) return;
        break;
      }
    }
    item_kept_ = false;
  }

  // The old file stays until the new content is whole (PendingFile); a link where the file
  // goes is replaced, and one on the way to it refused.
  const auto cut_folder = LastSeparator(dest);
  if (!root.empty() && cut_folder != std::u16string::npos &&
      os.FindLinkBelow(root, dest.substr(0, cut_folder))) {
    throw ArchiveError(ErrorSite::kCannotCreateFile, {dest}, ComponentName());
  }
  std::unique_ptr<PendingFile> file;
  try {
    file = std::make_unique<PendingFile>(dest);
  } catch (const platform::FileStreamError&) {
    throw ArchiveError(ErrorSite::kCannotCreateFile, {dest}, ComponentName());
  }
  const std::uint32_t dos_time = static_cast<std::uint32_t>(DosDateTimeOf(item));
  // The drive is asked about once per folder, not once per file.
  if (options_.FlushBuffers) {
    const auto cut_dest = LastSeparator(dest);
    const std::u16string folder =
        cut_dest == std::u16string::npos ? std::u16string() : dest.substr(0, cut_dest + 1);
    if (folder != removable_checked_dir_ || removable_checked_dir_.empty()) {
      removable_checked_dir_ = folder;
      removable_dir_ = IsRemovableDrive(folder.empty() ? dest : folder);
    }
  }
  const bool flush = options_.FlushBuffers && removable_dir_;
  bool failed = false;
  bool verified = false;
  // Time, flush and close happen on every way out; the partial file of a failed, skipped or
  // cancelled item is removed.
  auto finish = [&]() {
    file->Close(flush);
    const bool keep = !(skip_file_ || progress_cancel_ || failed) && file->Commit();
    file.reset();
    if (!keep) return;
    os.SetLastWriteDosTime(dest, dos_time);
    if (options_.SetAttributes) os.SetAttributes(dest, attr);
  };
  try {
    verified = ExtractItemToStream(index, file->Stream(), 0, 0);
  } catch (...) {
    failed = true;
    finish();
    throw;
  }
  finish();
  item_complete_ = verified && !skip_file_ && !progress_cancel_;
}

bool BaseArchiver::ExtractItemToStream(std::int32_t index, platform::Stream& stream,
                                       std::int64_t start_position, std::int32_t count) {
  DirArray& dir = dm_handle_->CDir;
  if (index < 0 || index >= dir.Count())
    throw ArchiveError(ErrorSite::kExtractIndex, ComponentName());
  const DirItem& item = dir.GetItem(index);
  // Single-file archives only; a multi-volume set switches to the item's volume here.
  platform::Stream& archive = *compressed_stream_;
  archive.SetPosition(static_cast<std::int64_t>(item.LocalHeaderOffset()));
  const bool decoded = DecodeItem(archive, stream, start_position, count, item);
  if (!decoded && !progress_cancel_ && !extract_corrupted_files_ && !skip_file_) {
    throw ArchiveError(ErrorSite::kItemDataDamaged, ComponentName());
  }
  return decoded;
}

void BaseArchiver::DeleteItemAt(std::int32_t index) {
  DirArray& dir = dm_handle_->CDir;
  if (index < 0 || index >= dir.Count())
    throw ArchiveError(ErrorSite::kUpdateIndex, ComponentName());
  if (!InUpdate()) throw ArchiveError(ErrorSite::kUpdateNotStartedOnItem, ComponentName());
  dir.DeleteItem(index);
}

}  // namespace qm::archive
