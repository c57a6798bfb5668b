#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/directory/dir_manager.h"
#include "archive/names/path_rules.h"
#include "archive/volumes/volume_chain.h"
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

constexpr std::uint16_t kReadWriteDenyWrite = fm::kReadWrite | fm::kShareDenyWrite;  // 0x0022
constexpr std::uint16_t kReadShareAll = fm::kRead | fm::kShareDenyNone;              // 0x0040

bool NamePartEmpty(const std::u16string& file_name) {
  const auto slash = file_name.find_last_of(platform::kPathSeparator);
  return slash == std::u16string::npos ? file_name.empty() : slash + 1 == file_name.size();
}

}  // namespace

std::uint16_t BaseArchiver::ChooseOpenMode() const {
  if (in_memory_ || !Exists()) return fm::kCreate;
  try {
    platform::FileStream probe(file_name_, kReadWriteDenyWrite);
    return kReadWriteDenyWrite;
  } catch (const platform::FileStreamError&) {
    return kReadShareAll;  // someone else writes it, or we may not
  }
}

void BaseArchiver::OpenArchive() {
  updated_ = false;
  if (!in_memory_ && NamePartEmpty(file_name_))
    throw ArchiveError(ErrorSite::kBlankFileNameOnOpen, ComponentName());
  OpenArchive(ChooseOpenMode());
}

void BaseArchiver::OpenArchive(std::uint16_t mode) {
  updated_ = false;
  if (!in_memory_ && NamePartEmpty(file_name_))
    throw ArchiveError(ErrorSite::kBlankFileNameOnCreate, ComponentName());
  // A folder or a FIFO of that name is no missing archive: opening it says what it is.
  const bool something_there =
      platform::Platform::Current().GetAttributes(file_name_) != platform::attr::kInvalid;
  if (mode != fm::kCreate && !something_there && spanning_mode_ != SpanningMode::smSpanning &&
      !IsRemovableDrive(file_name_)) {
    throw ArchiveError(ErrorSite::kArchiveNotFound, {file_name_}, ComponentName());
  }
  if (mode != fm::kCreate && in_memory_)
    throw ArchiveError(ErrorSite::kInMemoryCreateOnly, ComponentName());
  CloseArchive();
  is_custom_stream_ = false;
  file_open_mode_ = mode;
  // A failed open releases the stream and the directory at once, so that no handle on the file
  // outlives the failure.
  try {
    if (mode == fm::kCreate || in_memory_) {
      CreateArchiveFile();
    } else {
      OpenArchiveFile();
    }
  } catch (...) {
    ReleaseArchive();
    throw;
  }
  active_ = true;
  if (AfterOpen) AfterOpen(*this);
}

DirSettings BaseArchiver::MakeDirSettings() const {
  return DirSettings{.zip_format = is_zip_format_,
                     .open_corrupted_archives = open_corrupted_archives_,
                     .spanning_mode = spanning_mode_,
                     .oem_file_names = options_.OEMFileNames,
                     .custom_stream = is_custom_stream_,
                     .component_name = name_};
}

void BaseArchiver::OpenArchive(platform::Stream& stream, bool create) {
  if (spanning_mode_ != SpanningMode::smNone)
    throw ArchiveError(ErrorSite::kVolumesOnCustomStream, ComponentName());
  CloseArchive();
  is_custom_stream_ = true;
  if (create) stream.SetSize(0);
  archive_stream_ = &stream;
  dir_manager_ = std::make_unique<DirManager>(stream, create, MakeDirSettings());
  try {
    if (create) {
      WriteDirectory(true);
    } else {
      dir_manager_->LoadDir();
    }
  } catch (...) {
    ReleaseArchive();
    throw;
  }
  active_ = true;
  if (AfterOpen) AfterOpen(*this);
}

void BaseArchiver::CloseArchive() {
  if (active_) {
    // Closing never fails because of the commit or the final directory write.
    try {
      if (update_count_ > 0) CommitUpdate();
      // A new archive that nothing was written to gets its empty directory.
      if (archive_stream_ != nullptr && archive_stream_ != volume_chain_.get() &&
          archive_stream_->Size() == dir_manager_->StubSize()) {
        WriteDirectory(true);
      }
    } catch (...) {
    }
    active_ = false;
  }
  update_count_ = 0;
  ReleaseArchive();
}

void BaseArchiver::ReleaseArchive() {
  dir_manager_.reset();
  archive_stream_ = nullptr;
  volume_chain_.reset();
  owned_stream_.reset();
  DropVolumeRecordFile();
}

void BaseArchiver::SetInMemory(bool value) {
  if (value == in_memory_) return;
  if (!active_) {
    in_memory_ = value;
    return;
  }
  if (in_memory_) {
    if (file_name_.empty()) throw ArchiveError(ErrorSite::kBlankFileNameOnReopen, ComponentName());
    // A new memory archive holds no bytes until its directory is written; the file must get
    // at least the empty directory, or it could not be opened again.
    if (archive_stream_->Size() == dir_manager_->StubSize()) WriteDirectory(true);
    {
      platform::FileStream file(file_name_, fm::kCreate);
      archive_stream_->SetPosition(0);
      file.CopyFrom(*archive_stream_, archive_stream_->Size());
    }
    CloseArchive();
    in_memory_ = false;  // reopened from the file, not as a new memory archive
    OpenArchive();
  } else {
    CloseArchive();
    in_memory_ = true;
    OpenArchive();
  }
  in_memory_ = value;
}

}  // namespace qm::archive
