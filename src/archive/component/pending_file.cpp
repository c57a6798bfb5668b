#include "archive/component/pending_file.h"

#include "archive/names/path_rules.h"
#include "platform/file_attributes.h"
#include "platform/file_mode.h"
#include "platform/platform.h"
#include "platform/stream_errors.h"
#include "platform/text.h"

namespace qm::archive {

using platform::Platform;

namespace {

constexpr char16_t kTempPrefix[] = u".qmx";

}  // namespace

PendingFile::PendingFile(std::u16string destination, platform::Folder* folder, bool replaces)
    : destination_(std::move(destination)), folder_(folder), replaces_(replaces) {
  Platform& os = Platform::Current();
  std::error_code error;
  if (folder_ != nullptr) {
    auto file = os.CreateTempFileIn(*folder_, kTempPrefix, temp_, error);
    if (!file) {
      throw platform::FileCreateError(platform::Utf16ToUtf8(destination_), error.message());
    }
    stream_ = std::make_unique<platform::FileStream>(folder_->Path() + temp_, std::move(file));
    return;
  }
  const auto cut = destination_.find_last_of(platform::kPathSeparator);
  const std::u16string directory =
      cut == std::u16string::npos ? os.CurrentDirectory() : destination_.substr(0, cut + 1);
  temp_ = os.CreateTempFile(directory, kTempPrefix, error);
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
  if (committed_) return;
  Platform& os = Platform::Current();
  if (folder_ != nullptr) {
    os.DeleteFileIn(*folder_, temp_);
  } else {
    os.DeleteFile(temp_);
  }
}

bool PendingFile::SetTime(std::optional<std::int64_t> unix_time, std::uint32_t dos_time) {
  if (!stream_) return false;
  platform::File& file = stream_->Handle();
  return !(unix_time ? file.SetLastWriteUnixTime(*unix_time) : file.SetLastWriteDosTime(dos_time));
}

bool PendingFile::SetAttributes(std::uint32_t attributes, std::optional<std::uint32_t> unix_mode) {
  // Only where the temporary file goes by its folder: removing it by path would refuse a file
  // made read-only, should the rename fail.
  return stream_ && folder_ != nullptr && !stream_->Handle().SetAttributes(attributes, unix_mode);
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
  if (replaces_ || folder_ == nullptr) {
    const std::uint32_t old = os.GetAttributes(destination_);
    if (old != platform::attr::kInvalid && (old & platform::attr::kReadOnly)) {
      os.SetAttributes(destination_, 0);
    }
  }
  if (folder_ != nullptr) {
    committed_ =
        !os.ReplaceFileIn(*folder_, temp_, destination_.substr(LastSeparator(destination_) + 1));
  } else {
    committed_ = !os.ReplaceFile(temp_, destination_);
  }
  return committed_;
}

}  // namespace qm::archive
