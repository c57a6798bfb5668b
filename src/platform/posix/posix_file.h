#pragma once

#include <memory>
#include <string>
#include <system_error>

#include "platform/platform.h"

namespace qm::platform::posix {

// Opens `path` (UTF-8) with the file mode word and takes the sharing locks it asks for.
std::unique_ptr<File> OpenPosixFile(const std::string& path, std::uint16_t mode,
                                    std::error_code& error);

}  // namespace qm::platform::posix
