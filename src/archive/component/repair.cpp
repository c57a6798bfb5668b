// Salvaging a damaged archive: every entry whose data decodes and verifies is stored again in
// a new archive, with its name, time, attributes and comment.
//
// Entries that do not verify are left out rather than stored with what could be decoded: a
// new record would give damaged content a valid CRC, and the damage would never show again.
// The new archive is written in batches of about kBatchBytes of pending data per commit, so
// that memory stays bounded and the directory is not rewritten once per entry.
#include <algorithm>
#include <memory>
#include <vector>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/component/scoped_value.h"
#include "archive/directory/dir_manager.h"
#include "archive/writing/tail_file.h"
#include "platform/file_attributes.h"
#include "platform/file_mode.h"
#include "platform/file_stream.h"
#include "platform/memory_stream.h"
#include "platform/platform.h"
#include "platform/stream_errors.h"

namespace qm::archive {
namespace {

namespace fm = platform::file_mode;
namespace attr = platform::attr;

constexpr std::int64_t kBatchBytes = 64 << 20;

// A temporary file deleted on every way out.
class TempFile {
 public:
  explicit TempFile(std::u16string path)
      : path_(std::move(path)),
        stream_(std::make_unique<platform::FileStream>(path_, fm::kCreate)) {}
  ~TempFile() {
    stream_.reset();
    platform::Platform::Current().DeleteFile(path_);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  platform::Stream& Stream() { return *stream_; }

 private:
  std::u16string path_;
  std::unique_ptr<platform::FileStream> stream_;
};

// Creates and deletes `path` (any file of that name is deleted first).
void ProbeCreate(const std::u16string& path) {
  platform::Platform& os = platform::Platform::Current();
  os.DeleteFile(path);
  { platform::FileStream probe(path, fm::kCreate); }
  os.DeleteFile(path);
}

}  // namespace

void BaseArchiver::RepairArchive(const std::u16string& output_file_name) {
  if (active_) throw ArchiveError(ErrorSite::kArchiveIsOpen, ComponentName());
  platform::Platform& os = platform::Platform::Current();
  repaired_file_count_ = 0;
  repair_skipped_count_ = 0;
  const bool in_place = output_file_name.empty();
  std::u16string out = output_file_name;
  try {
    if (in_place) {
      // Beside the archive, so that it replaces the archive in one rename.
      std::error_code error;
      out = os.CreateTempFile(FolderOf(file_name_), u"FC", error);
      if (out.empty()) throw platform::FileCreateError("", error.message());
      { platform::FileStream probe(file_name_, fm::kReadWrite | fm::kShareExclusive); }
    }
    ProbeCreate(out);
  } catch (const platform::StreamError&) {
    if (in_place && !out.empty()) os.DeleteFile(out);
    throw ArchiveError(ErrorSite::kCannotCreateOutput, {in_place ? file_name_ : output_file_name},
                       ComponentName());
  }

  ScopedValue<bool> keep_extract_corrupted(extract_corrupted_files_, false);
  ScopedValue<bool> keep_open_corrupted(open_corrupted_archives_, true);
  bool complete = false;
  try {
    BaseArchiver target;
    OpenArchive(fm::kRead | fm::kShareDenyWrite);
    target.SetFileName(out);
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
    target.OpenArchive(fm::kCreate);
    {
      TempFile temp(MakeTempFileName());
      target.dm_handle_->SetArchiveComment(dm_handle_->ArchiveComment());
      const std::int32_t files = CopyRepairedEntries(target, temp.Stream(), false);
      // Records the directory points at wrongly (bytes inserted or lost in front of them) may
      // still be whole where they lie: look for them by their local headers.
      if (StoredFileCount(target) < files && !DirectoryWasRebuilt()) {
        dm_handle_->RebuildFromLocalHeaders();
        CopyRepairedEntries(target, temp.Stream(), true);
      }
      repaired_file_count_ = StoredFileCount(target);
      repair_skipped_count_ = std::max(0, files - repaired_file_count_);
    }
    CloseArchive();
    complete = true;
  } catch (...) {
    CloseArchive();
    if (in_place) os.DeleteFile(out);
    throw;
  }
  if (complete && in_place && os.ReplaceFile(out, file_name_)) {
    os.DeleteFile(out);
    throw ArchiveError(ErrorSite::kCannotCreateOutput, {file_name_}, ComponentName());
  }
}

std::int32_t BaseArchiver::CopyRepairedEntries(BaseArchiver& target, platform::Stream& temp,
                                               bool only_missing) {
  DirArray& dir = dm_handle_->CDir;
  DirArray& out_dir = target.dm_handle_->CDir;
  progress_enabled_ = false;
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
    if (only_missing && out_dir.FileExists(old.Name, existing)) continue;
    std::shared_ptr<platform::Stream> data;
    if (!folder) {
      try {
        temp.SetSize(0);
        temp.SetPosition(0);
        if (!ExtractItemToStream(i, temp, 0, 0)) continue;
        const std::int64_t size = temp.Size();
        auto copy = std::make_shared<platform::MemoryStream>();
        temp.SetPosition(0);
        copy->CopyFrom(temp, size);
        copy->SetPosition(0);
        data = std::move(copy);
      } catch (const std::exception&) {
        continue;  // damaged, unreadable or without its password: left out
      }
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
      target.EndUpdate();
      target.BeginUpdate();
      pending = 0;
    }
  }
  target.EndUpdate();
  return files;
}

bool BaseArchiver::DirectoryWasRebuilt() const {
  return dm_handle_->CentralDirOffset() >= compressed_stream_->Size();
}

std::int32_t BaseArchiver::StoredFileCount(BaseArchiver& archiver) {
  const DirArray& dir = archiver.dm_handle_->CDir;
  std::int32_t stored = 0;
  for (std::int32_t i = 0; i < dir.Count(); ++i) {
    stored += (dir.GetItem(i).CentralDir.externalAttr & attr::kDirectory) == 0 ? 1 : 0;
  }
  return stored;
}

}  // namespace qm::archive
