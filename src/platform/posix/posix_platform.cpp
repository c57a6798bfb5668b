#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utime.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>
#include <unordered_map>
#include <vector>

#include "platform/clock_seed.h"
#include "platform/dos_time.h"
#include "platform/file_attributes.h"
#include "platform/file_kind.h"
#include "platform/platform.h"
#include "platform/posix/posix_file.h"
#include "platform/text.h"

namespace qm::platform {

const char16_t kPathSeparator = u'/';

namespace {

using posix::CreationMask;

std::error_code LastError() {
  return {errno, std::generic_category()};
}
std::string SystemPath(const std::u16string& path) {
  return Utf16ToUtf8(path);
}

std::u16string BaseName(const std::u16string& path) {
  const auto slash = path.find_last_of(u'/');
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

std::uint32_t AttributesOf(const struct stat& st, const std::u16string& name) {
  std::uint32_t attributes = 0;
  if (S_ISDIR(st.st_mode)) {
    attributes |= attr::kDirectory;
  } else {
    attributes |= attr::kArchive;
  }
  if ((st.st_mode & S_IWUSR) == 0) attributes |= attr::kReadOnly;
  if (!name.empty() && name[0] == u'.' && name != u"." && name != u"..") {
    attributes |= attr::kHidden;
  }
  return attributes;
}

bool PassesFilter(std::uint32_t attributes, std::uint32_t filter) {
  return (attributes & attr::kFilterBits & ~filter) == 0;
}

// Reads a sysfs flag such as /sys/dev/block/8:16/removable; a partition has none of its own,
// so its parent device is asked too.
bool ReadRemovableFlag(dev_t device) {
  const std::string base =
      "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
  for (const char* leaf : {"/removable", "/../removable"}) {
    std::ifstream flag(base + leaf);
    int value = 0;
    if (flag >> value) return value == 1;
  }
  return false;
}

// Extraction asks once per folder; the answer is the device's, so it is kept per device.
bool BlockDeviceRemovable(dev_t device) {
  static std::mutex mutex;
  static std::unordered_map<dev_t, bool> known;
  const std::lock_guard lock(mutex);
  const auto found = known.find(device);
  if (found != known.end()) return found->second;
  const bool removable = ReadRemovableFlag(device);
  known.emplace(device, removable);
  return removable;
}

class PosixFolder final : public Folder {
 public:
  PosixFolder(std::u16string path, int fd) : Folder(std::move(path)), fd_(fd) {}
  ~PosixFolder() override { ::close(fd_); }
  int fd() const { return fd_; }

 private:
  int fd_;
};

class PosixPlatform final : public Platform {
 public:
  std::u16string AppDataFolder() override {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
      return StripTrailingSeparators(Utf8ToUtf16(home));
    }
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir) {
      return StripTrailingSeparators(Utf8ToUtf16(found->pw_dir));
    }
    return {};
  }

  std::u16string CurrentDirectory() override {
    std::vector<char> buffer(PATH_MAX);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
      if (errno != ERANGE) return {};
      buffer.resize(buffer.size() * 2);
    }
    return Utf8ToUtf16(buffer.data());
  }

  std::u16string TempDirectory() override {
    std::u16string dir = u"/tmp";
    if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp != '\0') {
      dir = Utf8ToUtf16(tmp);
    }
    dir = StripTrailingSeparators(dir);
    return dir + u'/';
  }

  std::u16string ExpandPath(const std::u16string& path) override {
    if (path.empty()) return CurrentDirectory();
    std::u16string full = path;
    if (full[0] != u'/') {
      const std::u16string cwd = CurrentDirectory();
      full = cwd + (cwd.ends_with(u'/') ? u"" : u"/") + full;
    }
    std::vector<std::u16string> parts;
    std::size_t start = 0;
    while (start <= full.size()) {
      std::size_t end = full.find(u'/', start);
      if (end == std::u16string::npos) end = full.size();
      const std::u16string part = full.substr(start, end - start);
      if (part == u"..") {
        if (!parts.empty()) parts.pop_back();
      } else if (!part.empty() && part != u".") {
        parts.push_back(part);
      }
      start = end + 1;
    }
    std::u16string out;
    for (const auto& part : parts) out += u'/' + part;
    // A trailing separator is kept, as Windows keeps it.
    if (full.size() > 1 && full.back() == u'/' && !out.empty()) out += u'/';
    return out.empty() ? u"/" : out;
  }

  // What the common POSIX file systems do. (A case-insensitive one mounted here, such as a
  // FAT stick, still keeps both files apart in the archive: nothing is lost that way.)
  bool FileNamesAreCaseSensitive() override { return true; }

  std::uint32_t GetAttributes(const std::u16string& path) override {
    struct stat st {};
    if (::stat(SystemPath(path).c_str(), &st) != 0) return attr::kInvalid;
    return AttributesOf(st, BaseName(StripTrailingSeparators(path)));
  }

  std::error_code SetAttributes(const std::u16string& path, std::uint32_t attributes) override {
    const std::string native = SystemPath(path);
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) return LastError();
    const mode_t mode = posix::ModeWithAttributes(st.st_mode & 07777, attributes);
    if (::chmod(native.c_str(), mode) != 0) return LastError();
    return {};
  }

  std::optional<std::uint32_t> GetLastWriteDosTime(const std::u16string& path) override {
    struct stat st {};
    if (::stat(SystemPath(path).c_str(), &st) != 0) return std::nullopt;
    return UnixTimeToDosDateTime(st.st_mtime);
  }

  std::error_code SetLastWriteDosTime(const std::u16string& path, std::uint32_t dos_time) override {
    const auto time = DosDateTimeToUnixTime(dos_time);
    if (!time) return std::make_error_code(std::errc::invalid_argument);
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;  // access time stays
    times[1].tv_sec = *time;
    times[1].tv_nsec = 0;
    if (::utimensat(AT_FDCWD, SystemPath(path).c_str(), times, 0) != 0) return LastError();
    return {};
  }

  std::error_code SetLastWriteUnixTime(const std::u16string& path, std::int64_t time) override {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;  // access time stays
    times[1].tv_sec = static_cast<time_t>(time);
    times[1].tv_nsec = 0;
    if (::utimensat(AT_FDCWD, SystemPath(path).c_str(), times, 0) != 0) return LastError();
    return {};
  }

  std::error_code SetUnixPermissions(const std::u16string& path, std::uint32_t mode) override {
    // Only the nine permission bits: an archive never makes a set-id or sticky file.
    if (::chmod(SystemPath(path).c_str(), static_cast<mode_t>(mode & 0777)) != 0) {
      return LastError();
    }
    return {};
  }

  std::uint32_t CurrentUser() override { return static_cast<std::uint32_t>(::geteuid()); }

  std::optional<FileStatus> GetFileStatus(const std::u16string& path, bool follow_links) override {
    struct stat st {};
    const std::string native = SystemPath(path);
    const int result = follow_links ? ::stat(native.c_str(), &st) : ::lstat(native.c_str(), &st);
    if (result != 0) return std::nullopt;
    return posix::StatusOf(st);
  }

  std::unique_ptr<File> CreatePrivateFile(const std::u16string& path,
                                          std::error_code& error) override {
    return posix::CreatePrivateFile(SystemPath(path), error);
  }

  std::unique_ptr<File> OpenFile(const std::u16string& path, std::uint16_t mode,
                                 std::error_code& error) override {
    return posix::OpenPosixFile(SystemPath(path), mode, error);
  }

  std::error_code MoveFile(const std::u16string& from, const std::u16string& to) override {
    // renameat2(RENAME_NOREPLACE) would be atomic but is not on every file system; link+unlink
    // fails on folders. A check first is what the callers can rely on here.
    struct stat st {};
    if (::lstat(SystemPath(to).c_str(), &st) == 0)
      return std::make_error_code(std::errc::file_exists);
    if (::rename(SystemPath(from).c_str(), SystemPath(to).c_str()) != 0) return LastError();
    return {};
  }

  std::error_code ReplaceFile(const std::u16string& from, const std::u16string& to) override {
    if (::rename(SystemPath(from).c_str(), SystemPath(to).c_str()) != 0) return LastError();
    return {};
  }

  std::error_code FlushDirectory(const std::u16string& path) override {
    const int fd = ::open(SystemPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return LastError();
    const int result = ::fsync(fd);
    const std::error_code error = result != 0 ? LastError() : std::error_code();
    ::close(fd);
    return error;
  }

  std::error_code DeleteFile(const std::u16string& path) override {
    const std::string native = SystemPath(path);
    struct stat st {};
    if (::lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      return std::make_error_code(std::errc::is_a_directory);
    }
    // Windows refuses to delete a read-only file; so do we, so that callers see one behaviour.
    if (::lstat(native.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0) {
      return std::make_error_code(std::errc::permission_denied);
    }
    if (::unlink(native.c_str()) != 0) return LastError();
    return {};
  }

  std::error_code CopyFile(const std::u16string& from, const std::u16string& to,
                           bool fail_if_exists) override {
    const std::string source = SystemPath(from), target = SystemPath(to);
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return LastError();
    struct stat st {};
    ::fstat(in, &st);
    const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (fail_if_exists ? O_EXCL : 0);
    const int out = ::open(target.c_str(), flags, st.st_mode & 0777);
    if (out < 0) {
      const auto error = LastError();
      ::close(in);
      return error;
    }
    std::error_code error;
    std::vector<char> buffer(1 << 16);
    for (;;) {
      const ssize_t n = ::read(in, buffer.data(), buffer.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        error = LastError();
        break;
      }
      if (n == 0) break;
      if (::write(out, buffer.data(), static_cast<std::size_t>(n)) != n) {
        error = errno ? LastError() : std::make_error_code(std::errc::no_space_on_device);
        break;
      }
    }
    if (::close(out) != 0 && !error) error = LastError();
    ::close(in);
    if (error) {
      ::unlink(target.c_str());
      return error;
    }
    // Windows' copy keeps the last-write time.
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, target.c_str(), times, 0);
    return {};
  }

  std::unique_ptr<Folder> OpenFolder(const std::u16string& path, std::error_code& error) override {
    error.clear();
    const int fd = ::open(SystemPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
      error = LastError();
      return nullptr;
    }
    return std::make_unique<PosixFolder>(path.ends_with(u'/') ? path : path + u'/', fd);
  }

  std::unique_ptr<File> CreateTempFileIn(Folder& folder, const std::u16string& prefix,
                                         std::u16string& name, std::error_code& error) override {
    // A folder another platform made (a test's) carries no handle: the path way then.
    const auto* own = dynamic_cast<const PosixFolder*>(&folder);
    if (own == nullptr) return Platform::CreateTempFileIn(folder, prefix, name, error);
    // Names are drawn as mkstemp draws them, from a generator seeded once per thread rather
    // than from the system for each file.
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 draw(ClockSeed() ^ static_cast<std::uint64_t>(::getpid()));
    const std::string stem = SystemPath(prefix);
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string candidate = stem;
      for (std::uint64_t bits = draw(), i = 0; i < 6; ++i, bits /= 62) {
        candidate += kLetters[bits % 62];
      }
      auto file = posix::CreatePosixFileAt(own->fd(), candidate, error);
      if (file) {
        name = Utf8ToUtf16(candidate);
        return file;
      }
      if (error != std::errc::file_exists) return nullptr;
    }
    return nullptr;
  }

  std::error_code ReplaceFileIn(Folder& folder, const std::u16string& from,
                                const std::u16string& to) override {
    const auto* own = dynamic_cast<const PosixFolder*>(&folder);
    if (own == nullptr) return Platform::ReplaceFileIn(folder, from, to);
    if (::renameat(own->fd(), SystemPath(from).c_str(), own->fd(), SystemPath(to).c_str()) != 0) {
      return LastError();
    }
    return {};
  }

  std::error_code DeleteFileIn(Folder& folder, const std::u16string& name) override {
    const auto* own = dynamic_cast<const PosixFolder*>(&folder);
    if (own == nullptr) return Platform::DeleteFileIn(folder, name);
    if (::unlinkat(own->fd(), SystemPath(name).c_str(), 0) != 0) return LastError();
    return {};
  }

  std::u16string CreateTempFile(const std::u16string& directory, const std::u16string& prefix,
                                std::error_code& error) override {
    error.clear();
    std::u16string dir = directory.empty() ? TempDirectory() : directory;
    if (!dir.ends_with(u'/')) dir += u'/';
    std::string pattern = SystemPath(dir + prefix) + "XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
      error = LastError();
      return {};
    }
    // Every caller renames the file over another one in the end: it gets the permissions a
    // new file gets, not mkstemp's owner-only ones.
    ::fchmod(fd, 0666 & ~CreationMask());
    ::close(fd);
    return Utf8ToUtf16(pattern);
  }

  std::error_code FindLinkBelow(const std::u16string& base, const std::u16string& path) override {
    std::u16string root = ExpandPath(base);
    const std::u16string full = ExpandPath(path);
    if (!root.ends_with(u'/')) root += u'/';
    if (!full.starts_with(root)) return {};
    for (std::size_t pos = root.size(); pos < full.size();) {
      std::size_t end = full.find(u'/', pos);
      if (end == std::u16string::npos) end = full.size();
      struct stat st {};
      if (::lstat(SystemPath(full.substr(0, end)).c_str(), &st) != 0) return {};  // not yet made
      if (S_ISLNK(st.st_mode)) return MakeErrorCode(FileKind::kLink);
      pos = end + 1;
    }
    return {};
  }

  std::error_code CreateDirectories(const std::u16string& path) override {
    std::string full = SystemPath(ExpandPath(path));
    while (full.size() > 1 && full.back() == '/') full.pop_back();
    // Nearly always the parent exists (extraction makes folders top down): one mkdir then.
    // Otherwise walk up to the deepest folder that exists and make the missing ones downwards.
    std::vector<std::size_t> missing;  // ends of the prefixes to make, deepest first
    std::size_t end = full.size();
    while (end > 0) {
      if (::mkdir(full.substr(0, end).c_str(), 0777) == 0 || errno == EEXIST) break;
      if (errno != ENOENT) return LastError();
      missing.push_back(end);
      end = full.rfind('/', end - 1);
      if (end == std::string::npos) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
      if (::mkdir(full.substr(0, *it).c_str(), 0777) != 0 && errno != EEXIST) return LastError();
    }
    struct stat st {};
    if (::stat(full.c_str(), &st) != 0) return LastError();
    if (!S_ISDIR(st.st_mode)) return std::make_error_code(std::errc::not_a_directory);
    return {};
  }

  std::error_code RemoveEmptyDirectory(const std::u16string& path) override {
    if (::rmdir(SystemPath(path).c_str()) != 0) return LastError();
    return {};
  }

  std::vector<DirEntry> ListDirectory(const std::u16string& path, std::uint32_t attribute_filter,
                                      std::error_code& error) override {
    error.clear();
    std::vector<DirEntry> entries;
    const std::string native = SystemPath(path);
    DIR* dir = ::opendir(native.c_str());
    if (dir == nullptr) {
      error = LastError();
      return entries;
    }
    const int folder = ::dirfd(dir);
    while (const dirent* item = ::readdir(dir)) {
      const char* name = item->d_name;
      if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
      // One call per entry: only a link needs a second one, for what it points to.
      struct stat st {};
      if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      DirEntry entry;
      entry.symbolic_link = S_ISLNK(st.st_mode);
      if (entry.symbolic_link && ::fstatat(folder, name, &st, 0) != 0) continue;  // dangling
      entry.name = Utf8ToUtf16(name);
      entry.attributes = AttributesOf(st, entry.name);
      if (!PassesFilter(entry.attributes, attribute_filter)) continue;
      entry.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
      entry.dos_time = UnixTimeToDosDateTime(st.st_mtime);
      entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    return entries;
  }

  DriveType GetDriveType(const std::u16string& path) override {
    // Ask about the nearest folder that exists, as a drive letter would answer for any path on it.
    std::u16string probe = ExpandPath(path);
    struct stat st {};
    while (::stat(SystemPath(probe).c_str(), &st) != 0) {
      const auto slash = probe.find_last_of(u'/');
      if (slash == std::u16string::npos || probe == u"/") return DriveType::kNoRootDir;
      probe = slash == 0 ? u"/" : probe.substr(0, slash);
    }
    if (BlockDeviceRemovable(st.st_dev)) return DriveType::kRemovable;
    struct statfs fs {};
    if (::statfs(SystemPath(probe).c_str(), &fs) == 0) {
      switch (static_cast<unsigned long>(fs.f_type)) {
        case 0x6969:      // NFS
        case 0xFF534D42:  // CIFS
        case 0xFE534D42:  // SMB2
        case 0x517B:      // SMB
          return DriveType::kRemote;
        case 0x01021994:  // tmpfs
        case 0x858458F6:  // ramfs
          return DriveType::kRamDisk;
        case 0x9660:  // ISO 9660
          return DriveType::kCdRom;
        default:
          break;
      }
    }
    return DriveType::kFixed;
  }

  std::optional<std::uint64_t> FreeSpace(const std::u16string& path) override {
    struct statvfs fs {};
    if (::statvfs(SystemPath(path).c_str(), &fs) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
  }

  std::error_code SetVolumeLabel(const std::u16string&, const std::u16string&) override {
    // POSIX offers no portable way to label a mounted file system.
    return std::make_error_code(std::errc::operation_not_supported);
  }

 private:
  static std::u16string StripTrailingSeparators(std::u16string path) {
    while (path.size() > 1 && path.back() == u'/') path.pop_back();
    return path;
  }
};

}  // namespace

Platform& Platform::Native() {
  static PosixPlatform native;
  return native;
}

}  // namespace qm::platform
