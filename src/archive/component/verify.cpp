// Testing items, checking a password against an item, and deciding whether a file can be
// used as an archive.
#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/component/scoped_value.h"
#include "archive/data/read/local_header.h"
#include "archive/directory/dir_manager.h"
#include "archive/encryption/cipher_factory.h"
#include "platform/file_attributes.h"
#include "platform/file_mode.h"
#include "platform/file_stream.h"
#include "platform/memory_stream.h"

namespace qm::archive {

void BaseArchiver::TestFiles() {
  CheckOpen();
  CheckNoUpdate();
  TagItems();
  ProcessTaggedItems(ProcessOperation::poTest, -1);
}

void BaseArchiver::TestFiles(const std::u16string& file_mask, std::int32_t search_attr,
                             const std::u16string& exclusion_mask) {
  CheckOpen();
  CheckNoUpdate();
  TagItems(file_mask, search_attr, exclusion_mask);
  ProcessTaggedItems(ProcessOperation::poTest, -1);
}

BaseArchiver::ItemOutcome BaseArchiver::TestItem(std::int32_t index, const std::u16string&) {
  // Only the attribute marks a folder here; a folder has no data to test.
  if (dir_manager_->CDir.GetItem(index).CentralDir.externalAttr & platform::attr::kDirectory) {
    return ItemOutcome::kCompleted;
  }
  platform::NullStream sink;
  return ExtractItemToStream(index, sink, 0, 0) && !skip_file_ ? ItemOutcome::kCompleted
                                                               : ItemOutcome::kSkipped;
}

bool BaseArchiver::IsFilePasswordValid(const std::u16string& file_name,
                                       const std::string& password) {
  CheckOpen();
  ArchiveItem f;
  if (!FindFirst(file_name, f, ArchiveOptions::kDefaultSearchAttr, u"")) {
    throw ArchiveError(ErrorSite::kTestItemNotFound, {file_name}, ComponentName());
  }
  if (!f.Encrypted) return true;
  const std::int32_t index = f.Handle.ItemNo;
  const DirItem& item = dir_manager_->CDir.GetItem(index);
  if (item.CompressionMethod != method::kStored && item.CompressionMethod != method::kDeflated) {
    return false;
  }
  const bool spanned = spanning_mode_ != SpanningMode::smNone;
  bool answer = spanned;
  if (!spanned) {
    platform::Stream& archive = *archive_stream_;
    archive.SetPosition(static_cast<std::int64_t>(item.LocalHeaderOffset()));
    ZipLocalHeader local = SkipLocalHeader(archive);
    // The check byte comes from the directory entry here, not from the local header.
    local.genPurposeFlag = item.CentralDir.genPurposeFlag;
    local.lastModTime = item.CentralDir.lastModTime;
    local.crc32 = item.CentralDir.crc32;
    answer = MakeItemDecipher(item, local)->CheckPassword(archive, password);
  }
  if (!answer) return false;
  // The check byte lets a wrong password through now and then: decode to be sure, silently.
  ScopedValue<bool> silent(suppress_password_event_, true);
  const std::string saved = password_;
  bool decoded = false;
  try {
    SetPassword(password);
    decoded = TestItem(index, item.Name) == ItemOutcome::kCompleted;
  } catch (...) {
    decoded = false;
  }
  SetPassword(saved);
  return decoded;
}

bool BaseArchiver::IsValidArchiveFile() {
  if (active_) return true;
  if (!Exists()) return false;
  bool candidate = false;
  try {
    platform::FileStream file(file_name_,
                              platform::file_mode::kRead | platform::file_mode::kShareDenyNone);
    DirSettings settings = MakeDirSettings();
    settings.open_corrupted_archives = false;
    settings.spanning_mode = SpanningMode::smNone;
    settings.custom_stream = true;
    DirManager dm(file, false, std::move(settings));
    if (dm.HasCentralDirEnd()) return true;
    dm.LoadDir();
    candidate = dm.CDir.Count() > 0;
  } catch (const std::exception&) {
    return false;
  }
  if (!candidate) return false;

  // A directory rebuilt from local headers proves little: the file counts only when every
  // item then tests intact. The component is left closed again, as it was found.
  ScopedValue<bool> lenient(open_corrupted_archives_, true);
  ScopedValue<archive::SpanningMode> single(spanning_mode_, SpanningMode::smNone);
  bool valid = false;
  try {
    OpenArchive(platform::file_mode::kRead | platform::file_mode::kShareDenyNone);
    TestFiles(u"*.*", ArchiveOptions::kDefaultSearchAttr, u"");
    valid = LastRunComplete();
  } catch (const std::exception&) {
    valid = false;
  }
  CloseArchive();
  return valid;
}

}  // namespace qm::archive
