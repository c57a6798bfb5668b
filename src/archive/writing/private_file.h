#pragma once

#include <memory>
#include <string>

#include "platform/file_stream.h"
#include "platform/platform.h"

namespace qm::archive {

// A file the engine made for itself beside an archive or in the temporary folder: new, open,
// readable and writable by its owner alone, and made through no link (Platform::
// CreatePrivateFile).
struct NewPrivateFile {
  std::u16string path;
  std::unique_ptr<platform::File> file;
};

// Creates `folder` + separator + `prefix` + six random characters + `suffix` as a private
// file. Throws FileCreateError when the folder cannot hold one.
NewPrivateFile CreatePrivateFileIn(const std::u16string& folder, const std::u16string& prefix,
                                   const std::u16string& suffix = {});

// A file of this run's own beside another path: created new (never over an existing file,
// never through a link), readable and writable by its owner alone, and removed on every way
// out unless it was put in place. What an operation builds there (a repaired archive, a
// self-extractor, decoded data) is never seen by anyone else, and an output that already
// stands is replaced only once the new content is whole.
class PrivateFile {
 public:
  // Creates the file in the folder of `beside`, named after it with a unique ending.
  // platform::FileCreateError when it cannot be made.
  explicit PrivateFile(const std::u16string& beside);
  ~PrivateFile();
  PrivateFile(const PrivateFile&) = delete;
  PrivateFile& operator=(const PrivateFile&) = delete;

  const std::u16string& Path() const { return path_; }
  platform::FileStream& Stream() { return *stream_; }
  // Flushes the content to the medium, closes the file and renames it over `destination`;
  // platform::WriteError when any of it fails (the file is then removed, the destination
  // stays as it was).
  void PutInPlace(const std::u16string& destination);

 private:
  std::u16string path_;
  std::unique_ptr<platform::FileStream> stream_;
  bool placed_ = false;
};

}  // namespace qm::archive
