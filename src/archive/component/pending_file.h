#pragma once

#include <memory>
#include <string>

#include "platform/file_stream.h"

namespace qm::archive {

// The new content of a file, written beside it under a temporary name and put in its place
// only once it is whole: a failed, skipped or cancelled item leaves the old file as it was, and
// a link standing where the file goes is replaced, never written through. Without Commit the
// temporary file is removed.
class PendingFile {
 public:
  // Creates the temporary file in the folder of `destination`; platform::FileCreateError when
  // it cannot be made.
  explicit PendingFile(std::u16string destination);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  platform::FileStream& Stream() { return *stream_; }
  // Flushes and closes the stream (idempotent).
  void Close(bool flush);
  // Renames the content over the destination; false when the system refused (the temporary
  // file is then removed and the old file stays).
  bool Commit();

 private:
  std::u16string destination_;
  std::u16string temp_;
  std::unique_ptr<platform::FileStream> stream_;
  bool committed_ = false;
};

}  // namespace qm::archive
