#pragma once

#include <memory>
#include <string>
#include <system_error>

#include "platform/platform.h"

namespace qm::platform::win32 {

// Opens `path` with the access and the sharing of the file mode word.
std::unique_ptr<File> OpenWin32File(const std::u16string& path, std::uint16_t mode,
                                    std::error_code& error);

// Creates `path` only when nothing stands there (Platform's CreatePrivateFile).
std::unique_ptr<File> CreatePrivateWin32File(const std::u16string& path, std::error_code& error);

}  // namespace qm::platform::win32
