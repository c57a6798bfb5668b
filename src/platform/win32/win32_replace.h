#pragma once

#include <string>
#include <system_error>

namespace qm::platform::win32 {

// Renames `from` over `to` while either may still be open in this program (every handle the
// Win32 layer opens shares deletion), the way rename(2) does on POSIX: a handle on the old `to`
// keeps reading the old file, a handle on `from` follows it to its new name.
std::error_code ReplaceOpenFile(const std::u16string& from, const std::u16string& to);

}  // namespace qm::platform::win32
