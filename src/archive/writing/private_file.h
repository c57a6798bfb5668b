#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace qm::archive {

// A file the engine made for itself beside an archive or in the temporary folder: new, open,
// readable and writable by its owner alone, and made through no link (Platform::
// CreatePrivateFile).
struct PrivateFile {
  std::u16string path;
  std::unique_ptr<platform::File> file;
};

// Creates `folder` + separator + `prefix` + six random characters as a private file. Throws
// FileCreateError when the folder cannot hold one.
PrivateFile CreatePrivateFileIn(const std::u16string& folder, const std::u16string& prefix);

}  // namespace qm::archive
