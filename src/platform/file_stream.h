#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/stream.h"

namespace qm::platform {

// A stream over a disk file, opened through Platform::Current() with the file mode word.
// Throws FileOpenError / FileCreateError (file_mode::kCreate) when the file cannot be had;
// read failures of the system surface as ReadError, write failures as WriteError.
class FileStream : public Stream {
 public:
  FileStream(const std::u16string& path, std::uint16_t mode);
  // Over a file opened already (Platform::CreateTempFileIn); `path` names it in messages.
  FileStream(std::u16string path, std::unique_ptr<File> file);
  ~FileStream() override;

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, Origin origin) override;
  void SetSize(std::int64_t size) override;
  std::int64_t Size() override;
  // Pushes written data to the device.
  void Flush();

  const std::u16string& FileName() const { return path_; }
  // The open file itself, for what is set on it rather than by path (times, attributes).
  File& Handle() { return *file_; }

 private:
  static constexpr std::int64_t kUnknown = -1;

  std::u16string path_;
  std::unique_ptr<File> file_;
  // Where the file's position is, as far as this stream moved it; kUnknown after a failure.
  std::int64_t position_ = 0;
};

}  // namespace qm::platform
