#include "archive/base_archiver.h"

#include <stdexcept>

#include "archive/archive_error.h"
#include "archive/component/processing_run.h"
#include "archive/directory/dir_manager.h"
#include "archive/names/file_masks.h"
#include "archive/volumes/volume_chain.h"
#include "archive/writing/tail_file.h"
#include "platform/file_attributes.h"
#include "platform/platform.h"

namespace qm::archive {

BaseArchiver::BaseArchiver(std::u16string name)
    : name_(std::move(name)), run_(std::make_unique<ProcessingRun>()) {
  UpdateCompressionMethod();
}

std::int32_t BaseArchiver::IncompleteFileCount() const {
  return processed_file_count_ - run_->completed_file_count;
}

std::int32_t BaseArchiver::KeptFileCount() const {
  return run_->kept_file_count;
}

bool BaseArchiver::LastRunComplete() const {
  return run_->completed_file_count == processed_file_count_;
}

BaseArchiver::~BaseArchiver() {
  // Closing swallows its own failures; a destructor must not throw anyway.
  try {
    CloseArchive();
  } catch (...) {
  }
}

void BaseArchiver::SetPassword(std::string value) {
  password_ = std::move(value);
}

void BaseArchiver::UpdateCompressionMethod() {
  compression_method_ = 0xFFFF;
}

void BaseArchiver::SetCompressionLevel(archive::CompressionLevel value) {
  compression_level_ = value;
  switch (value) {
    case CompressionLevel::clNone:
      compression_mode_ = 0;
      break;
    case CompressionLevel::clFastest:
      compression_mode_ = 1;
      break;
    case CompressionLevel::clNormal:
      compression_mode_ = 6;
      break;
    case CompressionLevel::clMax:
      compression_mode_ = 9;
      break;
  }
  UpdateCompressionMethod();
}

void BaseArchiver::SetCompressionMode(std::uint8_t value) {
  if (value > 9) throw ArchiveError(ErrorSite::kCompressionLevel, ComponentName());
  compression_mode_ = value;
  compression_level_ = value == 0   ? CompressionLevel::clNone
                       : value <= 3 ? CompressionLevel::clFastest
                       : value <= 6 ? CompressionLevel::clNormal
                                    : CompressionLevel::clMax;
  UpdateCompressionMethod();
}

void BaseArchiver::SetSpanningMode(archive::SpanningMode value) {
  if (active_) throw std::runtime_error("Cannot set spanning mode on open archive");
  spanning_mode_ = value;
}

std::u16string BaseArchiver::CurrentVersion() const {
  return u"5.05 ";
}

void BaseArchiver::SetActive(bool value) {
  if (value == active_) return;
  if (value) {
    OpenArchive();
  } else {
    CloseArchive();
  }
}

bool BaseArchiver::Exists() const {
  if (file_name_.empty()) return false;
  const auto attributes = platform::Platform::Current().GetAttributes(file_name_);
  return attributes != platform::attr::kInvalid && (attributes & platform::attr::kDirectory) == 0;
}

std::int64_t BaseArchiver::Size() {
  CheckOpen();
  return archive_stream_->Size();
}

std::string BaseArchiver::Comment() const {
  return active_ && dir_manager_ ? dir_manager_->ArchiveComment() : std::string();
}

void BaseArchiver::SetComment(std::string value) {
  CheckOpen();
  CheckVolumeModification();
  // The end record counts the comment in 16 bits: a longer one would be cut when written.
  if (value.size() > 0xFFFF) {
    throw ArchiveError(ErrorSite::kCommentTooLong, {file_name_}, ComponentName());
  }
  if (InUpdate() || spanning_mode_ != SpanningMode::smNone) {
    dir_manager_->SetArchiveComment(std::move(value));
    return;
  }
  // Outside a transaction the comment is written at once, through a commit of its own: the
  // directory it rewrites is then kept in a tail file like any other, and a failure leaves
  // file and memory as they were.
  BeginUpdate();
  dir_manager_->SetArchiveComment(std::move(value));
  EndUpdate();
}

void BaseArchiver::CheckOpen() const {
  if (!active_) throw ArchiveError(ErrorSite::kArchiveNotOpen, ComponentName());
}

void BaseArchiver::CheckNoUpdate() const {
  if (InUpdate()) throw ArchiveError(ErrorSite::kUpdateNotEnded, ComponentName());
}

void BaseArchiver::CheckVolumeModification() const {
  if (!InUpdate() && dir_manager_ && dir_manager_->CDir.Count() > 0 &&
      spanning_mode_ != SpanningMode::smNone) {
    throw ArchiveError(ErrorSite::kSpannedModification, ComponentName());
  }
}

}  // namespace qm::archive
