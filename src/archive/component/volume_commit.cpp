// Writing a new multi-volume set: its one commit, the records copied into the volumes, the
// directory at the end of the last volume, the last volume renamed after the archive.
#include <algorithm>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/directory/dir_manager.h"
#include "archive/volumes/volume_chain.h"
#include "archive/volumes/volume_names.h"
#include "archive/volumes/volume_writer.h"
#include "archive/writing/commit_plan.h"
#include "archive/writing/record_writer.h"
#include "archive/writing/tail_file.h"
#include "platform/file_mode.h"
#include "platform/file_stream.h"
#include "platform/platform.h"
#include "platform/stream_errors.h"

namespace qm::archive {

// The component as the volume writer's host and as the directory's way into the volumes.
class BaseArchiver::VolumeWriting final : public VolumeHost, public DirectoryVolumes {
 public:
  explicit VolumeWriting(BaseArchiver& owner) : owner_(owner) {}

  archive::SpanningMode Mode() const override { return owner_.spanning_mode_; }
  std::int64_t FreeSpace() override { return owner_.DiskFreeSpace(owner_.volume_file_name_); }
  std::int64_t VolumeSize() override {
    return owner_.spanning_options_.GetVolumeSize(owner_.volume_number_info_);
  }
  platform::Stream& NextVolume() override {
    // A disk leaves the drive only once what was written to it is on it.
    if (owner_.spanning_mode_ == SpanningMode::smSpanning) FlushToMedium(*owner_.owned_stream_);
    archive::VolumeNumberInfo next;
    next.SetVolumeNumber(owner_.volume_number_info_.VolumeNumber() + 1);
    owner_.OpenVolume(next);
    return *owner_.archive_stream_;
  }
  bool CopyProgress(double percent, ProgressPhase phase) override {
    bool cancel = false;
    owner_.DoCopyTempFileProgress(percent, phase, cancel);
    return !cancel;
  }
  std::u16string_view ComponentName() const override { return owner_.ComponentName(); }

  void Write(const std::uint8_t* bytes, std::size_t count, std::int64_t keep_together) override {
    WriteToVolumeChecked(*this, bytes, static_cast<std::int64_t>(count), nullptr, keep_together,
                         owner_.archive_stream_);
  }
  void MakeRoom(std::int64_t length) override {
    KeepRoom(*this, length, nullptr, owner_.archive_stream_);
  }
  std::uint32_t Volume() const override {
    return static_cast<std::uint32_t>(std::max(owner_.volume_number_info_.VolumeNumber(), 0));
  }
  std::int64_t Position() override { return owner_.archive_stream_->Position(); }

 private:
  BaseArchiver& owner_;
};

bool BaseArchiver::WritesVolumes() const {
  return spanning_mode_ != SpanningMode::smNone && !in_memory_ && !is_custom_stream_;
}

void BaseArchiver::CopyRecordToVolumes(platform::Stream& record, std::int64_t head_length,
                                       DirItem& item, bool zip64_offset) {
  VolumeWriting volumes(*this);
  bool cancel = false;
  record.SetPosition(0);
  // The header, name and extra blocks lie in one volume, which the entry names.
  CopyToVolumes(volumes, record, archive_stream_, false, nullptr, 0, head_length, cancel);
  item.CentralDir.diskNumberStart =
      static_cast<std::uint16_t>(std::min<std::int32_t>(volumes.Volume(), 0xFFFE));
  SetLocalHeaderOffset(item, static_cast<std::uint64_t>(archive_stream_->Position() - head_length),
                       zip64_offset);
  CopyToVolumes(volumes, record, archive_stream_, true, nullptr, -1, -1, cancel);
  // A record cut short by a cancel is never taken for a whole one.
  if (cancel) commit_action_ = Action::fxaAbort;
}

platform::Stream& BaseArchiver::VolumeRecordFile() {
  if (!volume_record_file_) {
    volume_record_path_ = MakeTempFileName();
    try {
      volume_record_file_ =
          std::make_unique<platform::FileStream>(volume_record_path_, platform::file_mode::kCreate);
    } catch (...) {
      DropVolumeRecordFile();
      throw;
    }
  }
  volume_record_file_->SetSize(0);
  volume_record_file_->SetPosition(0);
  return *volume_record_file_;
}

void BaseArchiver::DropVolumeRecordFile() {
  volume_record_file_.reset();
  if (!volume_record_path_.empty()) platform::Platform::Current().DeleteFile(volume_record_path_);
  volume_record_path_.clear();
}

void BaseArchiver::WriteDirectoryToVolumes() {
  VolumeWriting volumes(*this);
  dir_manager_->SaveDirToVolumes(volumes);
  FlushToMedium(*archive_stream_);
  RenameLastVolume();
}

void BaseArchiver::RenameLastVolume() {
  volume_number_info_.SetLastVolumeNumber(volume_number_info_.VolumeNumber());
  const std::u16string last_name = MakeVolumeName(file_name_, kLastVolume, false);
  if (volume_file_name_ == last_name) return;
  platform::Platform& os = platform::Platform::Current();
  const std::u16string current = volume_file_name_;
  owned_stream_.reset();
  archive_stream_ = nullptr;
  if (const auto error = os.ReplaceFile(current, last_name)) {
    throw platform::WriteError("Stream write error: " + error.message());
  }
  os.FlushDirectory(FolderOf(last_name));
  for (auto& name : created_volumes_) {
    if (name == current) name = last_name;
  }
  owned_stream_ = std::make_unique<platform::FileStream>(
      last_name, platform::file_mode::kReadWrite | platform::file_mode::kShareDenyNone);
  archive_stream_ = owned_stream_.get();
  volume_file_name_ = last_name;
  dir_manager_->SetCompressedStream(*archive_stream_);
}

void BaseArchiver::DiscardVolumes() {
  owned_stream_.reset();
  archive_stream_ = nullptr;
  platform::Platform& os = platform::Platform::Current();
  for (const auto& name : created_volumes_) os.DeleteFile(name);
  created_volumes_.clear();
  dir_manager_.reset();
  volume_chain_.reset();
  active_ = false;
}

void BaseArchiver::CommitToVolumes(ProcessOperation op) {
  DirManager& dm = *dir_manager_;
  // A set is written once, by the transaction of the open that created it.
  if (!platform::file_mode::IsCreate(file_open_mode_)) {
    dm.RestoreRollbackCopy();
    throw ArchiveError(ErrorSite::kSpannedModification, ComponentName());
  }
  bool stopped = false;
  try {
    platform::Stream& first = *archive_stream_;
    first.SetSize(dm.StubSize());
    first.SetPosition(dm.StubSize());
    stopped = !RunEntryLoop(EveryEntryInOrder(dm.CDir), nullptr, 0);
    DropVolumeRecordFile();
    if (!stopped) WriteDirectoryToVolumes();
  } catch (...) {
    // Nothing of a set that was not finished is left behind; the archive is closed.
    DropVolumeRecordFile();
    DiscardVolumes();
    throw;
  }
  if (stopped) {
    DiscardVolumes();
    return;
  }
  created_volumes_.clear();
  FinishCommit(op);
}

}  // namespace qm::archive
