// MakeSFX: a self-extracting file made of the stub program and the archive behind it.
#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/directory/dir_manager.h"
#include "archive/writing/private_file.h"
#include "archive/writing/same_file.h"
#include "platform/file_attributes.h"
#include "platform/file_mode.h"
#include "platform/file_stream.h"
#include "platform/platform.h"

namespace qm::archive {

void BaseArchiver::MakeSFX(const std::u16string& sfx_file_name) {
  namespace fm = platform::file_mode;
  platform::Platform& os = platform::Platform::Current();
  if (sfx_stub_.empty()) throw ArchiveError(ErrorSite::kNoSfxStub, ComponentName());
  const auto stub_attributes = os.GetAttributes(sfx_stub_);
  if (stub_attributes == platform::attr::kInvalid ||
      (stub_attributes & platform::attr::kDirectory) != 0) {
    throw ArchiveError(ErrorSite::kSfxStubNotFound, {sfx_stub_}, ComponentName());
  }
  if (spanning_mode_ != SpanningMode::smNone)
    throw ArchiveError(ErrorSite::kMakeSfxOnVolumes, ComponentName());
  // Both are read while the new file is written: neither may be that file.
  const bool archive_is_file = !in_memory_ && !is_custom_stream_;
  if (SameFile(sfx_file_name, sfx_stub_) ||
      (archive_is_file && SameFile(sfx_file_name, file_name_))) {
    throw ArchiveError(ErrorSite::kOutputIsInput, {sfx_file_name}, ComponentName());
  }
  if (update_count_ > 0) CommitUpdate();

  platform::FileStream stub(sfx_stub_, fm::kRead | fm::kShareDenyNone);
  std::unique_ptr<platform::FileStream> opened;
  platform::Stream* source = archive_stream_;
  bool has_stub = false;
  if (active_) {
    has_stub = dir_manager_->IsSFXArchive();
  } else {
    opened = std::make_unique<platform::FileStream>(file_name_, fm::kRead | fm::kShareDenyNone);
    DirManager loader(*opened, false, MakeDirSettings());
    loader.LoadDir();
    has_stub = loader.IsSFXArchive();
    source = opened.get();
  }
  if (has_stub) throw ArchiveError(ErrorSite::kAlreadyHasSfxStub, ComponentName());
  source->SetPosition(0);

  // Made beside its name, which it takes only once complete; removed on any other way out.
  PrivateFile made(sfx_file_name);
  {
    platform::FileStream& out = made.Stream();
    stub.SetPosition(0);
    out.CopyFrom(stub, stub.Size());
    progress_enabled_ = true;
    if (!FastFileAppend(out, *source, file_name_))
      throw ArchiveError(ErrorSite::kMakeSfx, ComponentName());
    // Loading finds the stub and moves the entries' offsets by its length; the directory then
    // goes back where it stands, with the moved offsets.
    DirManager moved(out, false, MakeDirSettings());
    moved.LoadDir();
    // Loading leaves folder entries where they were (their offsets are never read), but
    // their records moved with the rest: other tools check every entry's offset.
    for (std::int32_t i = 0; i < moved.CDir.Count(); ++i) {
      DirItem& item = *moved.CDir.ItemPtr(i);
      if ((item.CentralDir.externalAttr & platform::attr::kDirectory) != 0)
        MoveLocalHeaderOffset(item, moved.StubSize());
    }
    moved.SaveDir(false);
  }
  // Readable as the archive is (a program is made runnable by whoever made it).
  if (const auto status = os.GetFileStatus(file_name_, true); status && status->unix_mode != 0) {
    made.Stream().Handle().SetAttributes(platform::attr::kArchive, status->unix_mode & 0777);
  }
  made.PutInPlace(sfx_file_name);
}

}  // namespace qm::archive
