#include "platform/file_stream.h"

#include "platform/file_mode.h"
#include "platform/stream_errors.h"
#include "platform/text.h"

namespace qm::platform {

FileStream::FileStream(const std::u16string& path, std::uint16_t mode) : path_(path) {
  Platform& platform = Platform::Current();
  std::error_code error;
  file_ = platform.OpenFile(path, mode, error);
  if (!file_) {
    const std::string expanded = Utf16ToUtf8(platform.ExpandPath(path));
    if (file_mode::IsCreate(mode)) throw FileCreateError(expanded, error.message());
    throw FileOpenError(expanded, error.message());
  }
}

FileStream::FileStream(std::u16string path, std::unique_ptr<File> file)
    : path_(std::move(path)), file_(std::move(file)) {}

FileStream::~FileStream() = default;

std::size_t FileStream::Read(void* buffer, std::size_t count) {
  std::error_code error;
  const std::size_t n = file_->Read(buffer, count, error);
  if (error) {
    position_ = kUnknown;
    throw ReadError("Stream read error: " + error.message());
  }
  if (position_ != kUnknown) position_ += static_cast<std::int64_t>(n);
  return n;
}

std::size_t FileStream::Write(const void* buffer, std::size_t count) {
  std::error_code error;
  const std::size_t n = file_->Write(buffer, count, error);
  if (error) {
    position_ = kUnknown;
    throw WriteError("Stream write error: " + error.message());
  }
  if (position_ != kUnknown) position_ += static_cast<std::int64_t>(n);
  return n;
}

std::int64_t FileStream::Seek(std::int64_t offset, Origin origin) {
  // The position is kept here as well: asking for it, or moving to where the file already is,
  // costs no system call (the record writers do both for every item).
  if (position_ != kUnknown) {
    if (origin == Origin::kCurrent) {
      if (offset == 0) return position_;
      offset += position_;
      origin = Origin::kBegin;
    }
    if (origin == Origin::kBegin && offset == position_) return position_;
  }
  std::error_code error;
  const auto file_origin = origin == Origin::kBegin     ? File::Origin::kBegin
                           : origin == Origin::kCurrent ? File::Origin::kCurrent
                                                        : File::Origin::kEnd;
  const std::int64_t position = file_->Seek(offset, file_origin, error);
  if (error) {
    position_ = kUnknown;
    throw ReadError("Stream seek error: " + error.message());
  }
  position_ = position;
  return position;
}

std::int64_t FileStream::Size() {
  std::error_code error;
  const std::int64_t size = file_->Size(error);
  if (error) throw ReadError("Stream read error: " + error.message());
  return size;
}

void FileStream::SetSize(std::int64_t size) {
  if (const auto error = file_->Truncate(size)) {
    throw WriteError("Stream write error: " + error.message());
  }
  if (Position() > size) Seek(size, Origin::kBegin);
}

void FileStream::Flush() {
  if (const auto error = file_->Flush()) throw WriteError("Stream write error: " + error.message());
}

}  // namespace qm::platform
