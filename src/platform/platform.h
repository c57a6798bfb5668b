#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace qm::platform {

// What a file is, as far as telling two paths apart and noticing a change need: two paths
// name the same file when their device and file numbers are equal, whatever their spelling
// and whatever links lie between.
struct FileStatus {
  std::uint64_t device = 0;  // the volume (st_dev; the volume serial number on Windows)
  std::uint64_t file = 0;    // the file on it (st_ino; the file index on Windows)
  // The owning user (uid); 0 on platforms without one, where owners are not compared.
  std::uint32_t owner = 0;
  std::uint32_t group = 0;  // the owning group (gid); 0 on platforms without one
  // Permission bits (rwx for owner, group and others); 0 on platforms without them.
  std::uint32_t unix_mode = 0;
  std::uint32_t hard_links = 1;
  bool directory = false;
  // The path itself is a symbolic link (asked without following links; the other fields then
  // describe the link).
  bool symbolic_link = false;
  std::uint64_t size = 0;
  std::int64_t modified_ns = 0;  // last write, nanoseconds since the Unix epoch (UTC)

  bool SameFile(const FileStatus& other) const {
    return device == other.device && file == other.file;
  }
};

// An open operating-system file. Positions and sizes are 64-bit. Closing happens in the
// destructor; errors come back as std::error_code so that callers choose the exception.
class File {
 public:
  virtual ~File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Reads up to `count` bytes at the current position; fewer only at end of file or on error.
  virtual std::size_t Read(void* buffer, std::size_t count, std::error_code& error) = 0;
  // Writes `count` bytes at the current position; fewer only on error (a full disk).
  virtual std::size_t Write(const void* buffer, std::size_t count, std::error_code& error) = 0;
  enum class Origin { kBegin, kCurrent, kEnd };
  // Moves the position; answers the new position, or -1 with `error` set.
  virtual std::int64_t Seek(std::int64_t offset, Origin origin, std::error_code& error) = 0;
  virtual std::int64_t Size(std::error_code& error) = 0;
  // Cuts or extends the file to `size` bytes; the position is left where it was.
  virtual std::error_code Truncate(std::int64_t size) = 0;
  // Forces written data to the device.
  virtual std::error_code Flush() = 0;

  // Metadata set on the open file, so that its path is not walked again. A file that cannot
  // take them this way answers errc::operation_not_supported (this default), and the caller
  // sets them by path once the file is closed.
  // The last-write time, a moment in Unix seconds (UTC) as exactly as the file system keeps it.
  virtual std::error_code SetLastWriteUnixTime(std::int64_t time);
  // The last-write time in the MS-DOS form (local time).
  virtual std::error_code SetLastWriteDosTime(std::uint32_t dos_time);
  // What Platform::SetAttributes followed by Platform::SetUnixPermissions (when `unix_mode` is
  // given) would leave on the file.
  virtual std::error_code SetAttributes(std::uint32_t attributes,
                                        std::optional<std::uint32_t> unix_mode);
  // What the open file is (never a link: the file itself); nothing when it cannot be asked,
  // which is this default.
  virtual std::optional<FileStatus> Status();
  // Gives the open file to `owner` and `group` (FileStatus::owner and group), as far as this
  // process may: an error when it may not. Platforms without owners have nothing to do, which
  // is this default.
  virtual std::error_code SetOwner(std::uint32_t owner, std::uint32_t group);

 protected:
  File() = default;
};

// A folder opened to create and rename files in it by name (Platform::CreateTempFileIn): the
// path is walked once for all of them. This plain one only remembers the path; platforms with
// folder handles keep one open for as long as the object lives.
class Folder {
 public:
  explicit Folder(std::u16string path) : path_(std::move(path)) {}
  virtual ~Folder() = default;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  // The full path it was opened by, with a trailing separator.
  const std::u16string& Path() const { return path_; }

 private:
  std::u16string path_;
};

struct DirEntry {
  std::u16string name;  // the entry's name alone, no folder
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
  std::uint32_t dos_time = 0;  // last write, local MS-DOS date (high word) and time (low word)
  // The entry is a symbolic link; the other fields describe what it points to.
  bool symbolic_link = false;
};

// The kinds a drive can be of, in the numbering Windows gives them.
enum class DriveType {
  kUnknown = 0,
  kNoRootDir = 1,
  kRemovable = 2,
  kFixed = 3,
  kRemote = 4,
  kCdRom = 5,
  kRamDisk = 6
};

// Everything the program asks of the operating system about files, folders and drives.
// Paths are UTF-16 with the platform separator (see kPathSeparator); a relative path is taken
// from the current directory. Operations answer an error code or a value that says failure;
// none throws for a failure of the system.
//
// Current() is what the rest of the program calls. Tests wrap it (PlatformWrapper) to inject
// faults at any call: a short write, a failing rename, a full disk.
class Platform {
 public:
  virtual ~Platform() = default;

  static Platform& Current();
  // The POSIX (or, later, Win32) implementation, whatever is installed as current.
  static Platform& Native();

  // --- Folders of the user
  // The user's roaming application-data folder without a trailing separator; empty when it
  // cannot be determined. On POSIX, the home directory.
  virtual std::u16string AppDataFolder() = 0;
  virtual std::u16string CurrentDirectory() = 0;
  // The directory for temporary files, with a trailing separator.
  virtual std::u16string TempDirectory() = 0;

  // The user this process acts for, in the numbering of FileStatus::owner; 0 on platforms
  // without owners, which is this default.
  virtual std::uint32_t CurrentUser() { return 0; }

  // --- Paths
  // Makes `path` absolute against the current directory and folds "." and ".." away, the way
  // Windows expands a full path: lexically, without following links.
  virtual std::u16string ExpandPath(const std::u16string& path) = 0;
  // Whether names that differ only in the case of letters are different files (POSIX file
  // systems: yes; Windows: no). Adding a.txt next to A.txt replaces it only where they are the
  // same file.
  virtual bool FileNamesAreCaseSensitive() = 0;

  // --- Attributes and times
  // The attribute bits of file_attributes.h, or attr::kInvalid when nothing of that name exists.
  virtual std::uint32_t GetAttributes(const std::u16string& path) = 0;
  // Applies the read-only bit (the only one POSIX can carry); the others are ignored.
  virtual std::error_code SetAttributes(const std::u16string& path, std::uint32_t attributes) = 0;
  virtual std::optional<std::uint32_t> GetLastWriteDosTime(const std::u16string& path) = 0;
  virtual std::error_code SetLastWriteDosTime(const std::u16string& path,
                                              std::uint32_t dos_time) = 0;
  // Sets the last-write time to a moment in Unix seconds (UTC), as exactly as the file system
  // keeps it. This default goes through the MS-DOS form (local time, two seconds).
  virtual std::error_code SetLastWriteUnixTime(const std::u16string& path, std::int64_t time);
  // Applies Unix permission bits (rwx for owner, group and others; never set-id or sticky).
  // Platforms without them ignore the call, which is this default.
  virtual std::error_code SetUnixPermissions(const std::u16string& path, std::uint32_t mode);
  // What stands at `path`: through links when `follow_links`, else the link itself. Nothing
  // when nothing stands there or it cannot be asked.
  virtual std::optional<FileStatus> GetFileStatus(const std::u16string& path,
                                                  bool follow_links) = 0;

  // --- Files
  // Opens with the file mode word of file_mode.h. Sharing is honoured between openers inside
  // this program; see the implementation for how far it reaches on POSIX.
  virtual std::unique_ptr<File> OpenFile(const std::u16string& path, std::uint16_t mode,
                                         std::error_code& error) = 0;
  // Renames; fails when `to` exists.
  virtual std::error_code MoveFile(const std::u16string& from, const std::u16string& to) = 0;
  // Renames over an existing file in one step (the commit of a rewritten file).
  virtual std::error_code ReplaceFile(const std::u16string& from, const std::u16string& to) = 0;
  virtual std::error_code DeleteFile(const std::u16string& path) = 0;
  // Makes the creations, deletions and renames of entries of the folder `path` durable on the
  // medium (POSIX needs an fsync of the folder; where the file system journals them, nothing
  // is left to do, which is the default).
  virtual std::error_code FlushDirectory(const std::u16string& path) {
    static_cast<void>(path);
    return {};
  }
  virtual std::error_code CopyFile(const std::u16string& from, const std::u16string& to,
                                   bool fail_if_exists) = 0;
  // Opens the folder `path` (a full path ending in a separator) for the calls below, which
  // work on names inside it without walking its path again.
  virtual std::unique_ptr<Folder> OpenFolder(const std::u16string& path, std::error_code& error);
  // Creates a new file named prefix + unique characters in `folder`, open for reading and
  // writing, and answers it with its name in `name`; null with `error` set. Nobody else can
  // have the new file open, so no sharing is set up for it: it is the caller's alone.
  virtual std::unique_ptr<File> CreateTempFileIn(Folder& folder, const std::u16string& prefix,
                                                 std::u16string& name, std::error_code& error);
  // ReplaceFile for two names in `folder`.
  virtual std::error_code ReplaceFileIn(Folder& folder, const std::u16string& from,
                                        const std::u16string& to);
  // Deletes the file `name` of `folder`: a temporary file given up.
  virtual std::error_code DeleteFileIn(Folder& folder, const std::u16string& name);
  // Creates `path` as a new file, open for reading and writing, readable and writable by its
  // owner alone, and only when nothing stands there: never through a link, never over an
  // existing file (errc::file_exists then). For the files the engine leaves beside an archive.
  virtual std::unique_ptr<File> CreatePrivateFile(const std::u16string& path,
                                                  std::error_code& error) = 0;
  // Creates an empty, new file named prefix + unique characters in `directory` and answers its
  // full path, or an empty string with `error` set.
  virtual std::u16string CreateTempFile(const std::u16string& directory,
                                        const std::u16string& prefix, std::error_code& error) = 0;

  // --- Folders
  // Creates the folder and every missing parent; success when it exists already.
  virtual std::error_code CreateDirectories(const std::u16string& path) = 0;
  // Removes a folder only when it is empty.
  virtual std::error_code RemoveEmptyDirectory(const std::u16string& path) = 0;
  // Lists a folder ("." and ".." left out). An entry carrying any of attr::kFilterBits is
  // listed only when `attribute_filter` has those bits too.
  virtual std::vector<DirEntry> ListDirectory(const std::u16string& path,
                                              std::uint32_t attribute_filter,
                                              std::error_code& error) = 0;

  // --- Links
  // Whether a symbolic link stands on `path` below `base` (full paths, `path` inside `base`;
  // `base` itself may be a link): an error that says so for the first one found, none when
  // there is none. Extraction asks before it creates a folder or a file, so that nothing is
  // written outside the base folder through a link, whoever made it. Platforms without links
  // keep this default.
  virtual std::error_code FindLinkBelow(const std::u16string& base, const std::u16string& path);

  // --- Drives
  virtual DriveType GetDriveType(const std::u16string& path) = 0;
  // Bytes available to this user on the volume holding `path`.
  virtual std::optional<std::uint64_t> FreeSpace(const std::u16string& path) = 0;
  // Labels the volume holding `path`.
  virtual std::error_code SetVolumeLabel(const std::u16string& path,
                                         const std::u16string& label) = 0;

 protected:
  Platform() = default;
};

// The separator of disk paths on this platform.
extern const char16_t kPathSeparator;

// Installs a platform as Current() for the lifetime of this object (tests' fault injection);
// the previous one comes back on destruction.
class ScopedPlatform {
 public:
  explicit ScopedPlatform(Platform& replacement);
  ~ScopedPlatform();
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

 private:
  Platform* previous_;
};

}  // namespace qm::platform
