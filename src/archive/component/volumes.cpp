// The volume logic of the component: naming and opening volumes, creating and opening archive
// files (single, split, spanned, self-extracting), and reading a set as one stream.
#include <algorithm>
#include <system_error>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/directory/dir_manager.h"
#include "archive/names/path_rules.h"
#include "archive/volumes/stub_placement.h"
#include "archive/volumes/volume_chain.h"
#include "archive/volumes/volume_names.h"
#include "archive/writing/same_file.h"
#include "archive/writing/tail_file.h"
#include "platform/file_attributes.h"
#include "platform/file_mode.h"
#include "platform/file_stream.h"
#include "platform/memory_stream.h"
#include "platform/platform.h"
#include "platform/stream_errors.h"
#include "platform/text.h"

namespace qm::archive {
namespace {

namespace fm = platform::file_mode;

// Blank disks with no more room than this are refused.
constexpr std::int64_t kMinBlankDiskSpace = 65536;

bool FileExists(const std::u16string& path) {
  const auto attributes = platform::Platform::Current().GetAttributes(path);
  return attributes != platform::attr::kInvalid && (attributes & platform::attr::kDirectory) == 0;
}

bool FolderExists(const std::u16string& path) {
  const auto attributes = platform::Platform::Current().GetAttributes(path);
  return attributes != platform::attr::kInvalid && (attributes & platform::attr::kDirectory) != 0;
}

// The volume number as names and labels show it, "%.3d".
std::u16string ThreeDigits(std::int32_t number) {
  std::u16string digits;
  for (std::int32_t n = number; n > 0 || digits.size() < 3; n /= 10) {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
  }
  return digits;
}

}  // namespace

VolumeNaming BaseArchiver::CurrentNaming() const {
  const bool has_stub = dir_manager_ && dir_manager_->StubSize() != 0;
  return VolumeNaming{
      .mode = spanning_mode_,
      .advanced = spanning_options_.AdvancedNaming(),
      .exe = has_stub || !sfx_stub_.empty() || IsExeName(file_name_),
      .alternative_extensions = compression_method_ > 251 && compression_method_ != 0xFFFF};
}

std::u16string BaseArchiver::MakeVolumeName(const std::u16string& name, std::int32_t number,
                                            bool try_alternative) const {
  VolumeNaming naming = CurrentNaming();
  std::u16string built = archive::MakeVolumeName(name, number, naming);
  const bool creating = platform::file_mode::IsCreate(file_open_mode_);
  if (creating || FileExists(built)) return built;
  if (spanning_mode_ == SpanningMode::smSpanning && number >= 0 && try_alternative) {
    naming.advanced = !naming.advanced;
    std::u16string other = archive::MakeVolumeName(name, number, naming);
    if (FileExists(other)) return other;
  }
  // A set made where case does not matter (or by a tool that writes ".z01" beside ".ZIP").
  std::u16string other_case = OtherCaseExtension(built);
  if (!other_case.empty() && FileExists(other_case)) return other_case;
  return built;
}

std::int64_t BaseArchiver::DiskFreeSpace(const std::u16string& name) const {
  // A disk that does not say how much room it has is taken as roomy: the write itself then
  // tells whether it fits.
  const auto free = platform::Platform::Current().FreeSpace(FolderOf(name));
  if (!free) return INT64_MAX;
  return static_cast<std::int64_t>(std::min<std::uint64_t>(*free, INT64_MAX));
}

void BaseArchiver::OpenVolumeFile(const std::u16string& name) {
  const bool chained = volume_chain_ && archive_stream_ == volume_chain_.get();
  if (!chained) archive_stream_ = nullptr;
  owned_stream_.reset();
  owned_stream_ = std::make_unique<platform::FileStream>(name, file_open_mode_);
  volume_file_name_ = name;
  if (chained) return;
  archive_stream_ = owned_stream_.get();
  if (dir_manager_) dir_manager_->SetCompressedStream(*archive_stream_);
}

void BaseArchiver::OpenVolume(const archive::VolumeNumberInfo& info) {
  if (spanning_mode_ == SpanningMode::smNone) {
    if (!owned_stream_) OpenVolumeFile(file_name_);
    volume_number_info_ = info;
    return;
  }
  bool cancel = false;
  if (fm::IsCreate(file_open_mode_)) {
    owned_stream_.reset();
    archive_stream_ = nullptr;
    const std::int64_t size = spanning_options_.GetVolumeSize(info);
    std::u16string name;
    for (;;) {
      name = file_name_;
      DoRequestBlankVolume(info.VolumeNumber(), name, cancel);
      if (cancel) throw ArchiveError(ErrorSite::kVolumeOpenAborted, ComponentName());
      const std::int64_t free = DiskFreeSpace(name);
      if (free > kMinBlankDiskSpace &&
          (size < 0 || spanning_mode_ != SpanningMode::smSpanning || free >= size)) {
        break;
      }
      DoDiskFull(info.VolumeNumber(), name, cancel);
      if (cancel) throw ArchiveError(ErrorSite::kVolumeOpenAborted, ComponentName());
    }
    RefuseVolumeClash(name);
    OpenVolumeFile(name);
    created_volumes_.push_back(name);
    volume_number_info_ = info;
    // Labels are for removable disks; a fixed disk keeps its own, and a platform that cannot
    // label a disk (POSIX) simply does not.
    if (spanning_mode_ == SpanningMode::smSpanning && IsRemovableDrive(name)) {
      platform::Platform::Current().SetVolumeLabel(
          name, u"pkback# " + ThreeDigits(std::max(info.VolumeNumber(), 0) + 1));
    }
    return;
  }
  if (owned_stream_ && volume_number_info_.IsEqualTo(info)) return;
  for (;;) {
    std::u16string name = file_name_;
    if (info.FirstVolume()) {
      DoRequestFirstVolume(name, cancel);
    } else if (info.LastVolume()) {
      DoRequestLastVolume(name, cancel);
    } else {
      DoRequestMiddleVolume(info.VolumeNumber(), name, cancel);
    }
    if (cancel) throw ArchiveError(ErrorSite::kVolumeOpenAborted, ComponentName());
    if (name.empty() && spanning_mode_ != SpanningMode::smSpanning) return;
    if (FileExists(name)) {
      OpenVolumeFile(name);
      volume_number_info_ = info;
      return;
    }
    // No disk change puts a file where a folder stands: asking again would never end.
    if (FolderExists(name)) {
      throw platform::FileOpenError(
          platform::Utf16ToUtf8(platform::Platform::Current().ExpandPath(name)),
          std::make_error_code(std::errc::is_a_directory).message());
    }
  }
}

void BaseArchiver::RefuseVolumeClash(const std::u16string& name) const {
  // Split volumes lie side by side: one made under the name the last volume takes in the end
  // (RenameLastVolume), or under the name of one made before, would be lost to the other.
  // Spanned volumes share one name on different disks.
  if (spanning_mode_ != SpanningMode::smSplitting) return;
  bool clash = SameFile(name, MakeVolumeName(file_name_, kLastVolume, false));
  for (const std::u16string& made : created_volumes_) clash = clash || SameFile(name, made);
  if (clash) throw ArchiveError(ErrorSite::kVolumeNameClash, {name}, ComponentName());
}

void BaseArchiver::CreateArchiveFile() {
  if (in_memory_) {
    owned_stream_ = std::make_unique<platform::MemoryStream>();
    archive_stream_ = owned_stream_.get();
  } else {
    // A tail file left beside the name is dealt with as an open would: left there, it would be
    // taken for the new archive's at its next open, or stand in the way of its first commit.
    if (spanning_mode_ == SpanningMode::smNone) RecoverArchive(file_name_, ComponentName());
    // The stub is read into the new file once it is made: making it first would empty it.
    if (!sfx_stub_.empty() && (SameFile(sfx_stub_, file_name_) ||
                               SameFile(sfx_stub_, MakeVolumeName(file_name_, 0, false)))) {
      throw ArchiveError(ErrorSite::kOutputIsInput, {file_name_}, ComponentName());
    }
    created_volumes_.clear();
    archive::VolumeNumberInfo first;
    first.SetFirstVolume(true);
    OpenVolume(first);
  }
  dir_manager_ = std::make_unique<DirManager>(*archive_stream_, true, MakeDirSettings());
  volume_number_info_.SetFirstVolume(true);
  if (sfx_stub_.empty()) return;
  archive::VolumeNumberInfo first;
  first.SetFirstVolume(true);
  const std::int64_t limit =
      spanning_mode_ == SpanningMode::smNone ? -1 : spanning_options_.GetVolumeSize(first);
  try {
    dir_manager_->SetStubSize(PlaceStub(*archive_stream_, sfx_stub_, limit, ComponentName()));
  } catch (...) {
    // The archive was never made: the file created for it goes again.
    if (!in_memory_) {
      const std::u16string created = volume_file_name_;
      ReleaseArchive();
      platform::Platform::Current().DeleteFile(created);
    }
    throw;
  }
}

void BaseArchiver::OpenArchiveFile() {
  spanning_mode_ = SpanningMode::smNone;
  volume_number_info_.Init();
  volume_file_name_ = file_name_;
  // A commit cut off by a crash left its tail file: the archive is put back first.
  if (Exists()) RecoverArchive(file_name_, ComponentName());
  const bool found = IsExeName(file_name_) ? OpenExeArchive() : OpenSingleOrSpanned();
  if (!found && !open_corrupted_archives_)
    throw ArchiveError(ErrorSite::kArchiveDamaged, ComponentName());
  DirSettings settings = MakeDirSettings();
  if (spanning_mode_ != SpanningMode::smNone) {
    settings.open_volumes = [this](std::int32_t first, std::int32_t last) -> platform::Stream& {
      // The end record was read on the last volume, which is open.
      volume_number_info_.SetLastVolumeNumber(last);
      volume_number_info_.SetLastVolume(true);
      return VolumeStream(first, last);
    };
  }
  dir_manager_->SetSettings(std::move(settings));
  dir_manager_->LoadDir();
}

bool BaseArchiver::FindEndOnOpenVolume() {
  dir_manager_.reset();
  volume_number_info_.Init();
  archive::VolumeNumberInfo last;
  last.SetLastVolume(true);
  OpenVolume(last);
  if (!owned_stream_) throw ArchiveError(ErrorSite::kVolumeOpenAborted, ComponentName());
  archive_stream_ = owned_stream_.get();
  DirSettings settings = MakeDirSettings();
  // The search must say what it found, not what a corrupted archive would be taken for.
  settings.open_corrupted_archives = false;
  dir_manager_ = std::make_unique<DirManager>(*archive_stream_, false, std::move(settings));
  const bool found = dir_manager_->HasCentralDirEnd();
  DetectSpanningMode(found);
  return found;
}

bool BaseArchiver::OpenSingleOrSpanned() {
  bool found = false;
  do {
    if (!Exists() && IsRemovableDrive(file_name_)) spanning_mode_ = SpanningMode::smSpanning;
    owned_stream_.reset();
    archive_stream_ = nullptr;
    found = FindEndOnOpenVolume();
  } while (!found && spanning_mode_ != SpanningMode::smNone);
  return found;
}

bool BaseArchiver::OpenExeArchive() {
  if (FindEndOnOpenVolume()) return true;
  // The first volume of a split self-extractor holds the stub and no end record: the set ends
  // in the volume named like the archive with ".zip".
  spanning_mode_ = SpanningMode::smSplitting;
  const std::u16string last_name = MakeVolumeName(file_name_, kLastVolume, false);
  if (FileExists(last_name)) {
    volume_number_info_.Init();
    archive::VolumeNumberInfo last;
    last.SetLastVolume(true);
    OpenVolume(last);
  }
  spanning_mode_ = SpanningMode::smNone;
  bool found = false;
  do {
    found = FindEndOnOpenVolume();
  } while (!found && spanning_mode_ != SpanningMode::smNone);
  return found;
}

void BaseArchiver::DetectSpanningMode(bool found) {
  if (!found) {
    spanning_mode_ = IsRemovableDrive(file_name_) ? SpanningMode::smSpanning : SpanningMode::smNone;
    return;
  }
  const std::int32_t last = dir_manager_->CentralDirEnd().diskNumber;
  if (last == 0) {
    spanning_mode_ = SpanningMode::smNone;
    return;
  }
  spanning_mode_ = SpanningMode::smSplitting;
  if (FileExists(MakeVolumeName(file_name_, last - 1, false))) return;
  const bool advanced = spanning_options_.AdvancedNaming();
  spanning_options_.SetAdvancedNaming(!advanced);
  if (FileExists(MakeVolumeName(file_name_, last - 1, false))) return;
  spanning_options_.SetAdvancedNaming(advanced);
  spanning_mode_ = platform::AsciiLower(file_name_).find(u".exe") != std::u16string::npos
                       ? SpanningMode::smNone
                       : SpanningMode::smSpanning;
}

platform::Stream& BaseArchiver::VolumeStream(std::int32_t first, std::int32_t last) {
  if (!volume_chain_ || volume_chain_last_ != last) {
    volume_chain_last_ = last;
    volume_chain_ = std::make_unique<VolumeChain>(
        [this, last](std::int32_t volume) -> platform::Stream& {
          archive::VolumeNumberInfo info;
          info.SetLastVolumeNumber(last);
          if (volume == last) {
            info.SetLastVolume(true);
          } else if (volume == 0) {
            info.SetFirstVolume(true);
          } else {
            info.SetVolumeNumber(volume);
          }
          OpenVolume(info);
          if (!owned_stream_ || volume_number_info_.VolumeNumber() != volume)
            throw ArchiveError(ErrorSite::kVolumeOpenAborted, ComponentName());
          return *owned_stream_;
        },
        first, last);
  } else {
    volume_chain_->Rebase(first);
  }
  archive_stream_ = volume_chain_.get();
  if (dir_manager_) dir_manager_->SetCompressedStream(*archive_stream_);
  return *volume_chain_;
}

platform::Stream& BaseArchiver::ItemStream(const DirItem& item) {
  if (spanning_mode_ == SpanningMode::smNone || is_custom_stream_) return *archive_stream_;
  const DirManager& dm = *dir_manager_;
  const ZipCentralDirEnd& end = dm.CentralDirEnd();
  const std::int32_t last =
      end.diskNumber != kEscape16
          ? end.diskNumber
          : (dm.Zip64() ? static_cast<std::int32_t>(dm.Zip64Locator().totalNumberOfDisks) - 1 : 0);
  const std::int32_t volume =
      item.CentralDir.diskNumberStart != kEscape16
          ? item.CentralDir.diskNumberStart
          : (dm.Zip64() ? static_cast<std::int32_t>(item.Record().Zip64ExtInfo.diskNumberStart)
                        : 0);
  return VolumeStream(std::clamp(volume, 0, std::max(last, 0)), last);
}

}  // namespace qm::archive
