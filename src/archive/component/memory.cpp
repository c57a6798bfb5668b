// Extraction of one item into a caller's stream, a buffer or a string.
#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/component/scoped_value.h"
#include "archive/directory/dir_manager.h"
#include "platform/memory_stream.h"
#include "platform/stream_errors.h"
#include "platform/text.h"

namespace qm::archive {

void BaseArchiver::ExtractToStream(const std::u16string& file_name, platform::Stream& stream) {
  CheckOpen();
  CheckNoUpdate();
  progress_enabled_ = true;
  // A plain name is looked up in the root folder only, whatever Recurse says elsewhere.
  ScopedValue<bool> no_recurse(options_.Recurse, false);
  processed_file_no_ = 0;
  DoOverallProgress(0, ProcessOperation::poExtract, ProgressPhase::ppStart, progress_cancel_);
  std::int32_t index = -1;
  if (!FindItemIndex(file_name, index))
    throw ArchiveError(ErrorSite::kMemoryItemNotFound, {file_name}, ComponentName());
  processed_file_count_ = 1;
  DirItem* item = dir_manager_->CDir.ItemPtr(index);
  item->Operation = ProcessOperation::poExtract;
  const std::u16string name = item->Name;
  DoFileProgress(name, 0, ProcessOperation::poExtract, ProgressPhase::ppStart, progress_cancel_);
  ExtractItemToStream(index, stream, 0, 0);
  DoFileProgress(name, 100, ProcessOperation::poExtract, ProgressPhase::ppEnd, progress_cancel_);
  DoOverallProgress(100, ProcessOperation::poExtract, ProgressPhase::ppEnd, progress_cancel_);
}

void BaseArchiver::ExtractToBuffer(const std::u16string& file_name, void* buffer,
                                   std::int32_t count, std::int64_t start_position) {
  CheckOpen();
  CheckNoUpdate();
  progress_enabled_ = false;
  ScopedValue<bool> no_recurse(options_.Recurse, false);
  std::int32_t index = -1;
  if (!FindItemIndex(file_name, index))
    throw ArchiveError(ErrorSite::kMemoryItemNotFound, {file_name}, ComponentName());
  // No window lies before the item's start or has a negative length.
  if (count < 0 || start_position < 0) throw platform::ReadError();
  dir_manager_->CDir.ItemPtr(index)->Operation = ProcessOperation::poExtract;
  platform::MemoryStream window;
  ExtractItemToStream(index, window, start_position, count);
  if (start_position == 0) window.SetPosition(0);
  window.ReadBuffer(buffer, static_cast<std::size_t>(count));
}

void BaseArchiver::ExtractToString(const std::u16string& file_name, std::u16string& text) {
  CheckOpen();
  CheckNoUpdate();
  progress_enabled_ = false;
  ScopedValue<bool> no_recurse(options_.Recurse, false);
  std::int32_t index = -1;
  if (!FindItemIndex(file_name, index))
    throw ArchiveError(ErrorSite::kMemoryItemNotFound, {file_name}, ComponentName());
  dir_manager_->CDir.ItemPtr(index)->Operation = ProcessOperation::poExtract;
  platform::MemoryStream bytes;
  ExtractItemToStream(index, bytes, 0, 0);
  text = platform::AnsiToUtf16(bytes.ToString());
}

}  // namespace qm::archive
