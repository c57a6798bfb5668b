#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/file_stream.h"
#include "platform/platform.h"

namespace qm::archive {

// The new content of a file, written beside it under a temporary name and put in its place
// only once it is whole: a failed, skipped or cancelled item leaves the old file as it was, and
// a link standing where the file goes is replaced, never written through. Without Commit the
// temporary file is removed.
class PendingFile {
 public:
  // Creates the temporary file in the folder of `destination`: through `folder` (that folder,
  // opened) when given, else by path. `replaces` says whether a file stood at the destination
  // when the caller looked. platform::FileCreateError when the file cannot be made.
  PendingFile(std::u16string destination, platform::Folder* folder, bool replaces);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  platform::FileStream& Stream() { return *stream_; }
  // Set on the open file rather than by path afterwards; false for what the platform cannot
  // set this way (the caller then sets it by path after Commit).
  bool SetTime(std::optional<std::int64_t> unix_time, std::uint32_t dos_time);
  bool SetAttributes(std::uint32_t attributes, std::optional<std::uint32_t> unix_mode);
  // Flushes and closes the stream (idempotent).
  void Close(bool flush);
  // Renames the content over the destination; false when the system refused (the temporary
  // file is then removed and the old file stays).
  bool Commit();

 private:
  std::u16string destination_;
  platform::Folder* folder_;
  bool replaces_;
  // The temporary file: its full path, or its name in folder_.
  std::u16string temp_;
  std::unique_ptr<platform::FileStream> stream_;
  bool committed_ = false;
};

}  // namespace qm::archive
