// Replacing a file that is still open. Windows 10 renames over an open file in one step when
// asked for POSIX semantics; older systems, FAT volumes and Wine refuse that and also refuse a
// plain MoveFileEx over an open target. There the target is first renamed aside (its open
// handles follow it), the new file takes its name, and the aside file is deleted, which
// Windows carries out once its last handle closes.
#include "platform/win32/win32_replace.h"

#include <cstring>
#include <vector>

#include "platform/win32/win32_handle.h"
#include "platform/win32/windows_api.h"

namespace qm::platform::win32 {
namespace {

std::u16string FullPath(const std::u16string& path) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD needed =
        ::GetFullPathNameW(Wide(path), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (needed == 0) return path;
    if (needed < buffer.size()) return FromWide(buffer.data());
    buffer.resize(needed + 1);
  }
}

std::u16string FolderOf(const std::u16string& full) {
  const std::size_t slash = full.find_last_of(u"\\/");
  return slash == std::u16string::npos ? u"." : full.substr(0, slash);
}

// FILE_RENAME_INFO as Windows 10 version 1607 extended it (flags where there was a BOOLEAN),
// and its class number; mingw's headers declare them only for a newer target version.
struct RenameInfoEx {
  DWORD flags;
  HANDLE root_directory;
  DWORD file_name_length;
  WCHAR file_name[1];
};
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);

// The one-step rename of Windows 10 (version 1607 and later, NTFS).
bool RenameWithPosixSemantics(const std::u16string& from, const std::u16string& to) {
  Handle source(::CreateFileW(Wide(from), DELETE | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!source.valid()) return false;
  const std::u16string target = FullPath(to);
  const DWORD name_bytes = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  std::vector<unsigned char> buffer(sizeof(RenameInfoEx) + name_bytes);
  auto* info = reinterpret_cast<RenameInfoEx*>(buffer.data());
  info->flags = FILE_RENAME_FLAG_POSIX_SEMANTICS | FILE_RENAME_FLAG_REPLACE_IF_EXISTS;
  info->root_directory = nullptr;
  info->file_name_length = name_bytes;
  std::memcpy(info->file_name, target.data(), name_bytes);
  return ::SetFileInformationByHandle(source.get(), kFileRenameInfoEx, info,
                                      static_cast<DWORD>(buffer.size())) != 0;
}

// The rename through a name aside, for systems without the one-step form.
std::error_code ReplaceThroughAside(const std::u16string& from, const std::u16string& to) {
  wchar_t aside[MAX_PATH + 1] = {};
  if (::GetTempFileNameW(Wide(FolderOf(FullPath(to))), L"FC", 0, aside) == 0) return LastError();
  if (!::MoveFileExW(Wide(to), aside, MOVEFILE_REPLACE_EXISTING)) {
    const std::error_code error = LastError();
    ::DeleteFileW(aside);
    return error;
  }
  if (!::MoveFileExW(Wide(from), Wide(to), MOVEFILE_WRITE_THROUGH)) {
    const std::error_code error = LastError();
    ::MoveFileExW(aside, Wide(to), 0);
    return error;
  }
  ::DeleteFileW(aside);
  return {};
}

}  // namespace

std::error_code ReplaceOpenFile(const std::u16string& from, const std::u16string& to) {
  if (RenameWithPosixSemantics(from, to)) return {};
  if (::MoveFileExW(Wide(from), Wide(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return {};
  }
  const std::error_code error = LastError();
  // Only an open target is worked around; a read-only one stays refused, as Windows has it.
  const DWORD target = ::GetFileAttributesW(Wide(to));
  const bool open_target =
      (error.value() == ERROR_ACCESS_DENIED || error.value() == ERROR_SHARING_VIOLATION) &&
      target != INVALID_FILE_ATTRIBUTES &&
      (target & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
      ::GetFileAttributesW(Wide(from)) != INVALID_FILE_ATTRIBUTES;
  return open_target ? ReplaceThroughAside(from, to) : error;
}

}  // namespace qm::platform::win32
