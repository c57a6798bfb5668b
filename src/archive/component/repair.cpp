// Salvaging a damaged archive: every entry whose data decodes and verifies is stored again in
// a new archive, with its name, time, attributes and comment.
//
// Entries that do not verify are left out rather than stored with what could be decoded: a
// new record would give damaged content a valid CRC, and the damage would never show again.
// The new archive is written in batches of about kBatchBytes of pending data per commit, so
// that the file of decoded data stays bounded and the directory is not rewritten once per
// entry.
#include <algorithm>
#include <memory>
#include <vector>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/component/scoped_value.h"
#include "archive/data/read/stream_slice.h"
#include "archive/directory/dir_manager.h"
#include "archive/writing/private_file.h"
#include "archive/writing/same_file.h"
#include "platform/file_attributes.h"
#include "platform/file_mode.h"
#include "platform/file_stream.h"
#include "platform/platform.h"
#include "platform/stream_errors.h"

namespace qm::archive {
namespace {

namespace fm = platform::file_mode;
namespace attr = platform::attr;

constexpr std::int64_t kBatchBytes = 64 << 20;

}  // namespace

// The damaged archive is only read. The new one is built in a file of this run's own beside
// the output (owner-only, created new), and so is the decoded data of the entries on their
// way from one archive to the other: nobody else can read them, nothing is held in memory
// whole, and both files go on every way out. Only a whole result replaces the output (or,
// without an output name, the archive), in one rename; a failure leaves every file as it was.
void BaseArchiver::RepairArchive(const std::u16string& output_file_name) {
  if (active_) throw ArchiveError(ErrorSite::kArchiveIsOpen, ComponentName());
  platform::Platform& os = platform::Platform::Current();
  repaired_file_count_ = 0;
  repair_skipped_count_ = 0;
  const bool in_place = output_file_name.empty();
  const std::u16string out = in_place ? file_name_ : output_file_name;
  if (!in_place && SameFile(output_file_name, file_name_)) {
    throw ArchiveError(ErrorSite::kOutputIsInput, {output_file_name}, ComponentName());
  }
  if (in_place) {
    try {
      // Replacing the archive needs it free of other writers; it is not changed here.
      platform::FileStream probe(file_name_, fm::kReadWrite | fm::kShareExclusive);
    } catch (const platform::StreamError&) {
      throw ArchiveError(ErrorSite::kCannotCreateOutput, {file_name_}, ComponentName());
    }
  }

  ScopedValue<bool> keep_extract_corrupted(extract_corrupted_files_, false);
  ScopedValue<bool> keep_open_corrupted(open_corrupted_archives_, true);
  // Opened before anything is made: an archive that cannot be read leaves no trace.
  OpenArchive(fm::kRead | fm::kShareDenyWrite);
  try {
    std::unique_ptr<PrivateFile> result;
    std::shared_ptr<PrivateFile> decoded;
    try {
      result = std::make_unique<PrivateFile>(out);
      decoded = std::make_shared<PrivateFile>(out);
    } catch (const platform::StreamError&) {
      throw ArchiveError(ErrorSite::kCannotCreateOutput, {out}, ComponentName());
    }
    {
      BaseArchiver target;
      target.is_zip_format_ = is_zip_format_;
      target.SetTempDir(temp_dir_);
      target.password_ = password_;
      target.crypto_algorithm_ = crypto_algorithm_;
      target.compression_algorithm_ = compression_algorithm_;
      target.compression_mode_ = compression_mode_;
      target.compression_method_ = compression_method_;
      // A record that cannot be written leaves its entry out, as a damaged one is.
      target.OnProcessFileFailure = [](BaseArchiver&, const std::u16string&, ProcessOperation, int,
                                       int, const std::u16string&,
                                       Action& action) { action = Action::fxaIgnore; };
      target.OpenArchive(result->Stream(), true);
      target.dir_manager_->SetArchiveComment(dir_manager_->ArchiveComment());
      // The stream slices of the pending entries share the file of decoded data.
      const std::shared_ptr<platform::Stream> spool(decoded, &decoded->Stream());
      const std::int32_t files = CopyRepairedEntries(target, spool, false);
      // Records the directory points at wrongly (bytes inserted or lost in front of them) may
      // still be whole where they lie: look for them by their local headers.
      if (StoredFileCount(target) < files && !DirectoryWasRebuilt()) {
        dir_manager_->RebuildFromLocalHeaders();
        CopyRepairedEntries(target, spool, true);
      }
      repaired_file_count_ = StoredFileCount(target);
      repair_skipped_count_ = std::max(0, files - repaired_file_count_);
      target.CloseArchive();
    }
    decoded.reset();
    // The repaired copy is no easier to read than the damaged archive was.
    if (const auto status = os.GetFileStatus(file_name_, true); status && status->unix_mode != 0) {
      result->Stream().Handle().SetAttributes(attr::kArchive, status->unix_mode & 0777);
    }
    CloseArchive();
    try {
      result->PutInPlace(out);
    } catch (const platform::StreamError&) {
      throw ArchiveError(ErrorSite::kCannotCreateOutput, {out}, ComponentName());
    }
  } catch (...) {
    CloseArchive();
    throw;
  }
}

std::int32_t BaseArchiver::CopyRepairedEntries(BaseArchiver& target,
                                               const std::shared_ptr<platform::Stream>& spool,
                                               bool only_missing) {
  DirArray& dir = dir_manager_->CDir;
  DirArray& out_dir = target.dir_manager_->CDir;
  progress_enabled_ = false;
  progress_cancel_ = false;
  const bool rebuilt = DirectoryWasRebuilt();
  std::int32_t files = 0;
  std::int64_t pending = 0;
  target.BeginUpdate();
  for (std::int32_t i = 0; i < dir.Count(); ++i) {
    DirItem old = dir.GetItem(i);
    // A rebuilt directory takes every empty record without a data descriptor for a folder;
    // only a name ending in "/" says so for sure there.
    const bool folder = old.Name.ends_with(u'/') ||
                        (!rebuilt && (old.CentralDir.externalAttr & attr::kDirectory) != 0);
    if (!folder && (old.CentralDir.externalAttr & attr::kDirectory) != 0) {
      old.CentralDir.externalAttr = attr::kArchive;
    }
    if (!folder) ++files;
    std::int32_t existing = -1;
    // A name stored by an earlier commit stays as it is: replacing it would make the commit
    // keep the records after it in a tail file.
    if (out_dir.FileExists(old.Name, existing) &&
        (only_missing || !out_dir.GetItem(existing).Modified)) {
      continue;
    }
    std::shared_ptr<platform::Stream> data;
    if (!folder) {
      // Decoded behind the entries waiting for the next commit; a failed one is cut off again.
      const std::int64_t start = spool->Size();
      bool decoded = false;
      try {
        spool->SetPosition(start);
        decoded = ExtractItemToStream(i, *spool, 0, 0);
      } catch (const platform::WriteError&) {
        throw;  // the file of decoded data, not the entry, failed: the repair cannot go on
      } catch (const ArchiveError& e) {
        if (e.Is(ErrorSite::kDiskFull)) throw;  // the same, told as a full disk
      } catch (const std::exception&) {
        // damaged, unreadable or without its password: left out
      }
      // A full disk answered with cancel: no entry is damaged, the repair stops.
      if (!decoded && progress_cancel_) throw platform::WriteError();
      if (!decoded) {
        spool->SetSize(start);
        continue;
      }
      data = std::make_shared<StreamSlice>(spool, start, spool->Size() - start);
    }
    const std::int32_t index =
        target.AddItemEntry(old.Name, u"", 0, folder ? attr::kDirectory : attr::kArchive, false);
    if (index < 0) continue;
    if (out_dir.GetItem(index).Name != old.Name) out_dir.SetItemName(index, old.Name);
    DirItem& item = *out_dir.ItemPtr(index);
    item.CentralDir.externalAttr = old.CentralDir.externalAttr;
    item.CentralDir.internalAttr = old.CentralDir.internalAttr;
    item.CentralDir.lastModTime = old.CentralDir.lastModTime;
    item.CentralDir.lastModDate = old.CentralDir.lastModDate;
    item.EditRecord().Comment = old.Record().Comment;
    if (data) {
      const auto size = static_cast<std::uint64_t>(data->Size());
      if (size >= kEscape32 || target.zip64_mode_ == Zip64Mode::zmAlways) {
        item.bHugeFile = true;
        item.CentralDir.unCompSize = kEscape32;
        item.EditRecord().Zip64ExtInfo.uncompSize = size;
      } else {
        item.CentralDir.unCompSize = static_cast<std::uint32_t>(size);
      }
      DirItemChange& change = item.EditChange();
      change.Stream = std::move(data);
      change.bDestroyStream = true;
      change.Position = 0;
      pending += static_cast<std::int64_t>(size);
    }
    if (pending >= kBatchBytes) {
      CommitRepairedBatch(target);
      spool->SetSize(0);
      target.BeginUpdate();
      pending = 0;
    }
  }
  CommitRepairedBatch(target);
  spool->SetSize(0);
  return files;
}

void BaseArchiver::CommitRepairedBatch(BaseArchiver& target) {
  // Every commit writes the new archive's directory again behind the records it adds. Cut off
  // first, the old one needs no tail file to keep it safe: the archive is this run's own and
  // is used whole or not at all.
  target.archive_stream_->SetSize(target.dir_manager_->CentralDirOffset());
  target.EndUpdate();
}

bool BaseArchiver::DirectoryWasRebuilt() const {
  return dir_manager_->CentralDirOffset() >= archive_stream_->Size();
}

std::int32_t BaseArchiver::StoredFileCount(BaseArchiver& archiver) {
  const DirArray& dir = archiver.dir_manager_->CDir;
  std::int32_t stored = 0;
  for (std::int32_t i = 0; i < dir.Count(); ++i) {
    stored += (dir.GetItem(i).CentralDir.externalAttr & attr::kDirectory) == 0 ? 1 : 0;
  }
  return stored;
}

}  // namespace qm::archive
