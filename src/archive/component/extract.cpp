// Extraction to files: the extract step of the processing loop and the operations that run it.
#include <algorithm>
#include <memory>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/component/pending_file.h"
#include "archive/component/processing_run.h"
#include "archive/component/scoped_value.h"
#include "archive/data/read/item_lookahead.h"
#include "archive/directory/dir_manager.h"
#include "archive/directory/host_metadata.h"
#include "archive/names/path_rules.h"
#include "platform/file_attributes.h"
#include "platform/file_mode.h"
#include "platform/file_stream.h"
#include "platform/platform.h"
#include "platform/stream_errors.h"

namespace qm::archive {
namespace {

using platform::kPathSeparator;
using platform::Platform;

bool HasWildcards(const std::u16string& mask) {
  return mask.find_first_of(u"*?") != std::u16string::npos;
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
    dir_manager_->CDir.ItemPtr(f.Handle.ItemNo)->Tagged = true;
    ProcessTaggedItems(ProcessOperation::poExtract, f.Handle.ItemNo);
  } else {
    processed_file_no_ = processed_file_count_ = 0;
    *run_ = ProcessingRun{};
  }
}

BaseArchiver::ItemOutcome BaseArchiver::ExtractItemToFile(std::int32_t index, std::u16string name,
                                                          const std::u16string& base_dir) {
  Platform& os = Platform::Current();
  skip_file_ = false;
  const DirItem& item = dir_manager_->CDir.GetItem(index);
  const bool is_folder =
      (item.CentralDir.externalAttr & platform::attr::kDirectory) != 0 || item.Name.ends_with(u'/');
  std::uint32_t attr = item.CentralDir.externalAttr;
  DoExtractFile(name, attr, item.Record().Comment);

  if (!options_.CreateDirs) {
    const auto cut = LastSeparator(name);
    if (cut != std::u16string::npos) name.erase(0, cut + 1);
  }
  // Nothing lands outside the destination folder unless the caller asked for complete paths.
  if (!options_.AllowPathsOutsideBaseDir && LeadsOutside(name)) {
    throw ArchiveError(ErrorSite::kPathOutsideBase, {name}, ComponentName());
  }
  if (base_dir != run_->resolved_base_of || run_->resolved_base.empty()) {
    run_->resolved_base = base_dir.empty() ? base_dir : os.ExpandPath(base_dir);
    run_->resolved_base_of = base_dir;
  }
  const std::u16string root = options_.AllowPathsOutsideBaseDir && IsCompletePath(name)
                                  ? std::u16string()
                                  : run_->resolved_base;

  if (options_.CreateDirs) {
    const auto cut = LastSeparator(name);
    // "." and ".." are folded before the system sees them: "a/../b.txt" must not need "a".
    const std::u16string folder = os.ExpandPath(
        root + (cut == std::u16string::npos ? std::u16string() : name.substr(0, cut + 1)));
    if (!folder.empty() && folder != run_->last_made_dir) {
      // A link standing where a folder goes would lead the item outside the base folder.
      if (!root.empty() && os.FindLinkBelow(root, folder))
        throw ArchiveError(ErrorSite::kCannotCreateFolder, {folder}, ComponentName());
      if (os.CreateDirectories(folder))
        throw ArchiveError(ErrorSite::kCannotCreateFolder, {folder}, ComponentName());
      run_->last_made_dir = folder;
    }
  }
  if (is_folder) return ItemOutcome::kCompleted;
  // A file item without a name part would be the destination folder itself: passed over.
  const auto cut = LastSeparator(name);
  if (name.empty() || cut + 1 == name.size()) return ItemOutcome::kSkipped;

  std::u16string dest = os.ExpandPath(root + name);
  const std::uint32_t existing = os.GetAttributes(dest);
  const bool replaces = existing != platform::attr::kInvalid;
  if (replaces && (existing & platform::attr::kDirectory) == 0) {
    // The archive being read is never replaced by one of its own items (a self-extractor
    // unpacking beside itself, an archive holding an item of its own name).
    if (IsArchiveFile(os.GetFileStatus(dest, true)))
      throw ArchiveError(ErrorSite::kOutputIsInput, {dest}, ComponentName());
    if (!options_.ReplaceReadOnly && (existing & platform::attr::kReadOnly) != 0) {
      return ItemOutcome::kKept;
    }
    const bool overwrite = OverwriteAllowed(name, dest, [&] {
      return DosDateTimeOf(item) <=>
             static_cast<std::int32_t>(os.GetLastWriteDosTime(dest).value_or(0));
    });
    if (!overwrite) return ItemOutcome::kKept;
  }

  // The old file stays until the new content is whole (PendingFile); a link where the file
  // goes is replaced, and one on the way to it refused.
  if (!FolderFreeOfLinks(root, dest))
    throw ArchiveError(ErrorSite::kCannotCreateFile, {dest}, ComponentName());
  std::unique_ptr<PendingFile> file;
  try {
    file = std::make_unique<PendingFile>(dest, DestinationFolder(dest), replaces);
  } catch (const platform::FileStreamError&) {
    throw ArchiveError(ErrorSite::kCannotCreateFile, {dest}, ComponentName());
  }
  const std::uint32_t dos_time = static_cast<std::uint32_t>(DosDateTimeOf(item));
  // The drive is asked about once per folder, not once per file.
  if (options_.FlushBuffers) {
    const auto cut_dest = LastSeparator(dest);
    const std::u16string folder =
        cut_dest == std::u16string::npos ? std::u16string() : dest.substr(0, cut_dest + 1);
    if (folder != run_->removable_checked_dir || run_->removable_checked_dir.empty()) {
      run_->removable_checked_dir = folder;
      run_->removable_dir = IsRemovableDrive(folder.empty() ? dest : folder);
    }
  }
  const bool flush = options_.FlushBuffers && run_->removable_dir;
  bool failed = false;
  bool verified = false;
  // Time, flush and close happen on every way out; the partial file of a failed, skipped or
  // cancelled item is removed.
  auto finish = [&]() {
    const bool wanted = !(skip_file_ || progress_cancel_ || failed);
    // Unix tools' entries: the exact time of their timestamp block, their permission bits. Set
    // on the open file where the platform can, by path after the commit where it cannot.
    const auto exact = wanted ? ExtendedModificationTime(item) : std::nullopt;
    const auto mode = wanted && options_.SetAttributes ? UnixPermissions(item) : std::nullopt;
    const bool time_set = wanted && file->SetTime(exact, dos_time);
    const bool attributes_set = wanted && options_.SetAttributes && file->SetAttributes(attr, mode);
    file->Close(flush);
    const bool keep = wanted && file->Commit();
    file.reset();
    if (!keep) return;
    if (!time_set) {
      if (exact) {
        os.SetLastWriteUnixTime(dest, *exact);
      } else {
        os.SetLastWriteDosTime(dest, dos_time);
      }
    }
    if (options_.SetAttributes && !attributes_set) {
      os.SetAttributes(dest, attr);
      if (mode) os.SetUnixPermissions(dest, *mode);
    }
  };
  try {
    verified = ExtractItemToStream(index, file->Stream(), 0, 0);
  } catch (...) {
    failed = true;
    finish();
    throw;
  }
  finish();
  return verified && !skip_file_ && !progress_cancel_ ? ItemOutcome::kCompleted
                                                      : ItemOutcome::kSkipped;
}

bool BaseArchiver::FolderFreeOfLinks(const std::u16string& root, const std::u16string& dest) {
  const auto cut = LastSeparator(dest);
  if (root.empty() || cut == std::u16string::npos) return true;
  // Items of one folder come one after another: it is walked once for them.
  const std::u16string folder = dest.substr(0, cut);
  if (folder == run_->link_checked_dir) return true;
  if (Platform::Current().FindLinkBelow(root, folder)) return false;
  run_->link_checked_dir = folder;
  return true;
}

platform::Folder* BaseArchiver::DestinationFolder(const std::u16string& dest) {
  const auto cut = LastSeparator(dest);
  if (cut == std::u16string::npos) return nullptr;
  const std::u16string path = dest.substr(0, cut + 1);
  if (run_->destination_folder && run_->destination_folder->Path() == path) {
    return run_->destination_folder.get();
  }
  std::error_code error;
  run_->destination_folder = Platform::Current().OpenFolder(path, error);
  return run_->destination_folder.get();
}

bool BaseArchiver::ExtractItemToStream(std::int32_t index, platform::Stream& stream,
                                       std::int64_t start_position, std::int32_t count) {
  DirArray& dir = dir_manager_->CDir;
  if (index < 0 || index >= dir.Count())
    throw ArchiveError(ErrorSite::kExtractIndex, ComponentName());
  const DirItem& item = dir.GetItem(index);
  // The loop reads ahead for its own items; a call from an event handler meanwhile reads the
  // archive itself and leaves the loop's window alone.
  ItemLookahead* const lookahead = count == 0 ? run_->lookahead : nullptr;
  const ScopedValue<ItemLookahead*> nested(run_->lookahead, nullptr);
  platform::Stream* archive = lookahead ? lookahead->StreamFor(dir, index) : nullptr;
  if (archive == nullptr) {
    archive = &ItemStream(item);
    archive->SetPosition(static_cast<std::int64_t>(item.LocalHeaderOffset()));
  }
  const bool decoded = DecodeItem(*archive, stream, start_position, count, item, lookahead);
  if (!decoded && !progress_cancel_ && !extract_corrupted_files_ && !skip_file_) {
    throw ArchiveError(ErrorSite::kItemDataDamaged, ComponentName());
  }
  return decoded;
}

}  // namespace qm::archive
