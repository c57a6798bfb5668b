#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

#include "platform/platform.h"

namespace qm::platform::posix {

// Opens `path` (UTF-8) with the file mode word and takes the sharing locks it asks for.
std::unique_ptr<File> OpenPosixFile(const std::string& path, std::uint16_t mode,
                                    std::error_code& error);

// Creates `name` in the open folder `folder` only when nothing stands there (O_EXCL, so a link
// is never followed; errc::file_exists otherwise). No sharing locks: nobody else can have
// opened the new file.
std::unique_ptr<File> CreatePosixFileAt(int folder, const std::string& name,
                                        std::error_code& error);

// Creates `path` (UTF-8) exclusively, owner-only, never through a link (Platform's
// CreatePrivateFile).
std::unique_ptr<File> CreatePrivateFile(const std::string& path, std::error_code& error);

// The fields of FileStatus that `st` carries.
FileStatus StatusOf(const struct stat& st);

// The process's file-creation mask.
mode_t CreationMask();
// The permission bits `current` becomes under the attribute bits: the read-only attribute is
// the owner's write bit (clearing it takes every write bit away; setting it back gives them
// the way the umask grants them at creation).
mode_t ModeWithAttributes(mode_t current, std::uint32_t attributes);

}  // namespace qm::platform::posix
