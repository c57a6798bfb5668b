#include "archive/component/pending_file.h"

#include "platform/file_attributes.h"
#include "platform/file_mode.h"
#include "platform/platform.h"
#include "platform/stream_errors.h"
#include "platform/text.h"

namespace qm::archive {

using platform::Platform;

PendingFile::PendingFile(std::u16string destination) : destination_(std::move(destination)) {
  Platform& os = Platform::Current();
  const auto cut = destination_.find_last_of(platform::kPathSeparator);
  const std::u16string folder =
      cut == std::u16string::npos ? os.CurrentDirectory() : destination_.substr(0, cut + 1);
  std::error_code error;
  temp_ = os.CreateTempFile(folder, u".qmx", error);
  if (error) {
    throw platform::FileCreateError(platform::Utf16ToUtf8(destination_), error.message());
  }
  try {
    stream_ = std::make_unique<platform::FileStream>(
        temp_, platform::file_mode::kReadWrite | platform::file_mode::kShareExclusive);
  } catch (...) {
    os.DeleteFile(temp_);
    throw;
  }
}

PendingFile::~PendingFile() {
  Close(false);
  if (!committed_) Platform::Current().DeleteFile(temp_);
}

void PendingFile::Close(bool flush) {
  if (!stream_) return;
  if (flush) {
    try {
      stream_->Flush();
    } catch (const platform::StreamError&) {
    }
  }
  stream_.reset();
}

bool PendingFile::Commit() {
  Close(false);
  Platform& os = Platform::Current();
  // Windows refuses to replace a read-only file; its attributes are the item's from now on.
  const std::uint32_t old = os.GetAttributes(destination_);
  if (old != platform::attr::kInvalid && (old & platform::attr::kReadOnly)) {
    os.SetAttributes(destination_, 0);
  }
  committed_ = !os.ReplaceFile(temp_, destination_);
  return committed_;
}

}  // namespace qm::archive
