// Files on Windows: the file mode word's sharing bits become the system's own share modes, so
// a conflicting opener is refused by Windows itself, whichever program it is.
#include "platform/win32/win32_file.h"

#include <algorithm>
#include <limits>

#include "platform/file_mode.h"
#include "platform/win32/win32_handle.h"

namespace qm::platform::win32 {
namespace {

// Chunks stay below what one ReadFile or WriteFile call can count.
constexpr std::size_t kMaxChunk = 1u << 30;

// Reading and writing are shared as the mode word says. Deletion is always shared: a file
// may be renamed or replaced while it is open, as on POSIX, which is how a rewritten archive
// takes the place of the one still open for reading (see win32_replace.cpp).
DWORD ShareModeOf(std::uint16_t mode) {
  using namespace file_mode;
  if (IsCreate(mode)) return FILE_SHARE_DELETE;
  switch (mode & kShareMask) {
    case kShareDenyWrite:
      return FILE_SHARE_READ | FILE_SHARE_DELETE;
    case kShareDenyRead:
      return FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    case kShareDenyNone:
      return FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    default:  // compatibility and exclusive
      return FILE_SHARE_DELETE;
  }
}

class Win32File final : public File {
 public:
  explicit Win32File(Handle handle) : handle_(std::move(handle)) {}

  std::size_t Read(void* buffer, std::size_t count, std::error_code& error) override {
    error.clear();
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
      DWORD got = 0;
      const DWORD chunk = static_cast<DWORD>(std::min(count - done, kMaxChunk));
      if (!::ReadFile(handle_.get(), out + done, chunk, &got, nullptr)) {
        error = LastError();
        break;
      }
      if (got == 0) break;
      done += got;
    }
    return done;
  }

  std::size_t Write(const void* buffer, std::size_t count, std::error_code& error) override {
    error.clear();
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
      DWORD put = 0;
      const DWORD chunk = static_cast<DWORD>(std::min(count - done, kMaxChunk));
      if (!::WriteFile(handle_.get(), in + done, chunk, &put, nullptr)) {
        error = LastError();
        break;
      }
      if (put == 0) {
        error = std::make_error_code(std::errc::no_space_on_device);
        break;
      }
      done += put;
    }
    return done;
  }

  std::int64_t Seek(std::int64_t offset, Origin origin, std::error_code& error) override {
    error.clear();
    const DWORD method = origin == Origin::kBegin     ? FILE_BEGIN
                         : origin == Origin::kCurrent ? FILE_CURRENT
                                                      : FILE_END;
    LARGE_INTEGER distance{}, position{};
    distance.QuadPart = offset;
    if (!::SetFilePointerEx(handle_.get(), distance, &position, method)) {
      error = LastError();
      return -1;
    }
    return position.QuadPart;
  }

  std::int64_t Size(std::error_code& error) override {
    error.clear();
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle_.get(), &size)) {
      error = LastError();
      return -1;
    }
    return size.QuadPart;
  }

  std::error_code Truncate(std::int64_t size) override {
    std::error_code error;
    const std::int64_t position = Seek(0, Origin::kCurrent, error);
    if (error) return error;
    Seek(size, Origin::kBegin, error);
    if (error) return error;
    if (!::SetEndOfFile(handle_.get())) error = LastError();
    std::error_code restore;
    Seek(position, Origin::kBegin, restore);
    return error ? error : restore;
  }

  std::optional<FileStatus> Status() override { return StatusOfHandle(handle_.get()); }

  std::error_code Flush() override {
    if (!::FlushFileBuffers(handle_.get())) return LastError();
    return {};
  }

 private:
  Handle handle_;
};

}  // namespace

std::optional<FileStatus> StatusOfHandle(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) return std::nullopt;
  FileStatus status;
  status.device = info.dwVolumeSerialNumber;
  status.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  status.unix_mode = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
  status.hard_links = info.nNumberOfLinks;
  status.directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  status.symbolic_link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  status.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  // FILETIME counts 100 ns from 1601; the Unix epoch is 11,644,473,600 seconds later.
  const std::int64_t ticks = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
      info.ftLastWriteTime.dwLowDateTime);
  status.modified_ns = (ticks - 116444736000000000LL) * 100;
  return status;
}

std::unique_ptr<File> CreatePrivateWin32File(const std::u16string& path, std::error_code& error) {
  error.clear();
  // CREATE_NEW fails on any name that exists, a link included. The file inherits its folder's
  // access list, which on a user's own folders is the user's.
  Handle handle(::CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) {
    error = LastError();
    return nullptr;
  }
  return std::make_unique<Win32File>(std::move(handle));
}

std::unique_ptr<File> OpenWin32File(const std::u16string& path, std::uint16_t mode,
                                    std::error_code& error) {
  using namespace file_mode;
  error.clear();
  DWORD access = 0;
  if (CanRead(mode)) access |= GENERIC_READ;
  if (CanWrite(mode)) access |= GENERIC_WRITE;
  const DWORD disposition = IsCreate(mode) ? CREATE_ALWAYS : OPEN_EXISTING;
  // Windows refuses to write a read-only file; Wine running as root would not, so the rule is
  // applied here too and holds wherever the program runs.
  const DWORD attributes = ::GetFileAttributesW(Wide(path));
  if (CanWrite(mode) && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ==
          FILE_ATTRIBUTE_READONLY) {
    error = {ERROR_ACCESS_DENIED, std::system_category()};
    return nullptr;
  }
  Handle handle(::CreateFileW(Wide(path), access, ShareModeOf(mode), nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) {
    error = LastError();
    return nullptr;
  }
  return std::make_unique<Win32File>(std::move(handle));
}

}  // namespace qm::platform::win32
