#include <vector>

#include "platform/dos_time.h"
#include "platform/file_attributes.h"
#include "platform/platform.h"
#include "platform/win32/win32_file.h"
#include "platform/win32/win32_handle.h"
#include "platform/win32/win32_replace.h"
#include "platform/win32/windows_api.h"

namespace qm::platform {

const char16_t kPathSeparator = u'\\';

namespace win32 {
namespace {

// Ask-grow-ask for the calls that report the buffer length they need.
template <typename Call>
std::u16string GrowingBuffer(Call call) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD needed = call(static_cast<DWORD>(buffer.size()), buffer.data());
    if (needed == 0) return {};
    if (needed < buffer.size()) return FromWide(buffer.data());
    buffer.resize(needed + 1);
  }
}

std::uint32_t DosTimeOf(const FILETIME& utc) {
  FILETIME local{};
  WORD date = 0, time = 0;
  if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToDosDateTime(&local, &date, &time)) {
    return PackDosDateTime({});  // where the format begins
  }
  return (static_cast<std::uint32_t>(date) << 16) | time;
}

bool PassesFilter(std::uint32_t attributes, std::uint32_t filter) {
  return (attributes & attr::kFilterBits & ~filter) == 0;
}

// Characters of the root in a full path: "C:\" or "\\server\share\".
std::size_t RootLength(const std::u16string& full) {
  if (full.size() >= 2 && full[1] == u':') return full.size() >= 3 ? 3 : 2;
  if (full.starts_with(u"\\\\")) {
    std::size_t end = full.find(u'\\', 2);                             // after the server
    if (end != std::u16string::npos) end = full.find(u'\\', end + 1);  // after the share
    return end == std::u16string::npos ? full.size() : end + 1;
  }
  return 0;
}

// The root of the volume holding `path` ("C:\"), which drive questions are asked about.
std::u16string VolumeRoot(const std::u16string& path) {
  std::vector<wchar_t> root(MAX_PATH + 1);
  const std::u16string probe = path.empty() ? u"." : path;
  if (!::GetVolumePathNameW(Wide(probe), root.data(), static_cast<DWORD>(root.size()))) return {};
  return FromWide(root.data());
}

class Win32Platform final : public Platform {
 public:
  std::u16string AppDataFolder() override {
    wchar_t buffer[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_APPDATA, TRUE)) return {};
    std::u16string folder = FromWide(buffer);
    while (folder.size() > 3 && folder.back() == u'\\') folder.pop_back();
    return folder;
  }

  std::u16string CurrentDirectory() override {
    return GrowingBuffer(
        [](DWORD size, wchar_t* out) { return ::GetCurrentDirectoryW(size, out); });
  }

  std::u16string TempDirectory() override {
    std::u16string dir =
        GrowingBuffer([](DWORD size, wchar_t* out) { return ::GetTempPathW(size, out); });
    if (!dir.empty() && !dir.ends_with(u'\\')) dir += u'\\';
    return dir;
  }

  std::u16string ExpandPath(const std::u16string& path) override {
    if (path.empty()) return CurrentDirectory();
    return GrowingBuffer([&](DWORD size, wchar_t* out) {
      return ::GetFullPathNameW(Wide(path), size, out, nullptr);
    });
  }

  bool FileNamesAreCaseSensitive() override { return false; }

  std::uint32_t GetAttributes(const std::u16string& path) override {
    return ::GetFileAttributesW(Wide(path));
  }

  std::error_code SetAttributes(const std::u16string& path, std::uint32_t attributes) override {
    // Only these can be set; the rest describe what a file is, not how it is kept.
    constexpr std::uint32_t kSettable =
        attr::kReadOnly | attr::kHidden | attr::kSystem | attr::kArchive | attr::kNotContentIndexed;
    DWORD bits = attributes & kSettable;
    if (bits == 0) bits = FILE_ATTRIBUTE_NORMAL;
    if (!::SetFileAttributesW(Wide(path), bits)) return LastError();
    return {};
  }

  // Windows keeps no permission bits; a file its owner may not write is a read-only file, as
  // Info-ZIP's unzip has it there.
  std::error_code SetUnixPermissions(const std::u16string& path, std::uint32_t mode) override {
    if ((mode & 0200) != 0) return {};
    const DWORD attributes = ::GetFileAttributesW(Wide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
    if (!::SetFileAttributesW(Wide(path), attributes | FILE_ATTRIBUTE_READONLY)) return LastError();
    return {};
  }

  std::optional<std::uint32_t> GetLastWriteDosTime(const std::u16string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Wide(path), GetFileExInfoStandard, &data)) return std::nullopt;
    return DosTimeOf(data.ftLastWriteTime);
  }

  std::error_code SetLastWriteDosTime(const std::u16string& path, std::uint32_t dos_time) override {
    FILETIME local{}, utc{};
    if (!::DosDateTimeToFileTime(static_cast<WORD>(dos_time >> 16),
                                 static_cast<WORD>(dos_time & 0xFFFF), &local) ||
        !::LocalFileTimeToFileTime(&local, &utc)) {
      return std::make_error_code(std::errc::invalid_argument);
    }
    // Backup semantics let the same call date a folder.
    Handle handle(::CreateFileW(Wide(path), FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.valid()) return LastError();
    if (!::SetFileTime(handle.get(), nullptr, nullptr, &utc)) return LastError();
    return {};
  }

  std::unique_ptr<File> OpenFile(const std::u16string& path, std::uint16_t mode,
                                 std::error_code& error) override {
    return OpenWin32File(path, mode, error);
  }

  std::optional<FileStatus> GetFileStatus(const std::u16string& path, bool follow_links) override {
    // No access asked: the status of a file others hold open is readable all the same.
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    Handle handle(::CreateFileW(Wide(path), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, flags, nullptr));
    if (!handle.valid()) return std::nullopt;
    return StatusOfHandle(handle.get());
  }

  std::unique_ptr<File> CreatePrivateFile(const std::u16string& path,
                                          std::error_code& error) override {
    return CreatePrivateWin32File(path, error);
  }

  std::error_code MoveFile(const std::u16string& from, const std::u16string& to) override {
    if (!::MoveFileW(Wide(from), Wide(to))) return LastError();
    return {};
  }

  std::error_code ReplaceFile(const std::u16string& from, const std::u16string& to) override {
    return ReplaceOpenFile(from, to);
  }

  std::error_code DeleteFile(const std::u16string& path) override {
    if (!::DeleteFileW(Wide(path))) return LastError();
    return {};
  }

  std::error_code CopyFile(const std::u16string& from, const std::u16string& to,
                           bool fail_if_exists) override {
    if (!::CopyFileW(Wide(from), Wide(to), fail_if_exists)) return LastError();
    return {};
  }

  std::u16string CreateTempFile(const std::u16string& directory, const std::u16string& prefix,
                                std::error_code& error) override {
    error.clear();
    const std::u16string dir = directory.empty() ? TempDirectory() : directory;
    wchar_t name[MAX_PATH + 1] = {};
    // Windows takes up to three characters of the prefix and creates the file.
    if (::GetTempFileNameW(Wide(dir), Wide(prefix), 0, name) == 0) {
      error = LastError();
      return {};
    }
    return FromWide(name);
  }

  std::error_code CreateDirectories(const std::u16string& path) override {
    std::u16string full = ExpandPath(path);
    while (full.size() > RootLength(full) && full.back() == u'\\') full.pop_back();
    std::size_t pos = RootLength(full);
    while (pos < full.size()) {
      std::size_t end = full.find(u'\\', pos);
      if (end == std::u16string::npos) end = full.size();
      const std::u16string prefix = full.substr(0, end);
      if (!::CreateDirectoryW(Wide(prefix), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        return LastError();
      }
      pos = end + 1;
    }
    const DWORD attributes = ::GetFileAttributesW(Wide(full));
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastError();
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      return {ERROR_DIRECTORY, std::system_category()};
    }
    return {};
  }

  std::error_code RemoveEmptyDirectory(const std::u16string& path) override {
    if (!::RemoveDirectoryW(Wide(path))) return LastError();
    return {};
  }

  std::vector<DirEntry> ListDirectory(const std::u16string& path, std::uint32_t attribute_filter,
                                      std::error_code& error) override {
    error.clear();
    std::vector<DirEntry> entries;
    std::u16string pattern = path;
    if (!pattern.empty() && !pattern.ends_with(u'\\') && !pattern.ends_with(u'/')) {
      pattern += u'\\';
    }
    pattern += u'*';
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(Wide(pattern), &found);
    if (search == INVALID_HANDLE_VALUE) {
      error = LastError();
      return entries;
    }
    do {
      const std::u16string name = FromWide(found.cFileName);
      if (name == u"." || name == u"..") continue;
      if (!PassesFilter(found.dwFileAttributes, attribute_filter)) continue;
      DirEntry entry;
      entry.name = name;
      entry.attributes = found.dwFileAttributes;
      entry.size =
          (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
              ? 0
              : (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
      entry.dos_time = DosTimeOf(found.ftLastWriteTime);
      // A junction is a reparse point too; only the symbolic-link tag counts as a link.
      entry.symbolic_link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                            found.dwReserved0 == IO_REPARSE_TAG_SYMLINK;
      entries.push_back(std::move(entry));
    } while (::FindNextFileW(search, &found));
    const DWORD end = ::GetLastError();
    ::FindClose(search);
    if (end != ERROR_NO_MORE_FILES) error = {static_cast<int>(end), std::system_category()};
    return entries;
  }

  DriveType GetDriveType(const std::u16string& path) override {
    const std::u16string root = VolumeRoot(ExpandPath(path));
    if (root.empty()) return DriveType::kNoRootDir;
    return static_cast<DriveType>(::GetDriveTypeW(Wide(root)));
  }

  std::optional<std::uint64_t> FreeSpace(const std::u16string& path) override {
    ULARGE_INTEGER available{};
    // The folder itself first, so that a quota on it counts; its volume when it is a file or
    // does not exist yet.
    if (::GetDiskFreeSpaceExW(Wide(path), &available, nullptr, nullptr)) {
      return available.QuadPart;
    }
    const std::u16string root = VolumeRoot(ExpandPath(path));
    if (root.empty() || !::GetDiskFreeSpaceExW(Wide(root), &available, nullptr, nullptr)) {
      return std::nullopt;
    }
    return available.QuadPart;
  }

  std::error_code SetVolumeLabel(const std::u16string& path, const std::u16string& label) override {
    const std::u16string root = VolumeRoot(ExpandPath(path));
    if (root.empty()) return LastError();
    if (!::SetVolumeLabelW(Wide(root), Wide(label))) return LastError();
    return {};
  }
};

}  // namespace
}  // namespace win32

Platform& Platform::Native() {
  static win32::Win32Platform native;
  return native;
}

}  // namespace qm::platform
