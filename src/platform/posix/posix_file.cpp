// Files on POSIX, with the sharing part of the file mode word emulated.
//
// POSIX has no share modes. Each open file takes shared byte-range locks on four marker bytes
// far beyond any real data: one for each access it has (read, write) and one for each access it
// denies others (deny-read, deny-write). Before taking them it tests for a holder of the
// opposite bytes: a reader is refused while someone denies reading, and someone who would deny
// reading is refused while a reader holds the file. The locks are open-file-description locks
// (F_OFD_SETLK), so two opens inside this process conflict exactly like two programs would.
// They are advisory: programs other than this one are not held back by them.
#include "platform/posix/posix_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "platform/dos_time.h"
#include "platform/file_attributes.h"
#include "platform/file_kind.h"
#include "platform/file_mode.h"

namespace qm::platform::posix {
namespace {

constexpr off_t kLockBase = 0x7FFFFFFF00000000;
enum LockByte : off_t { kHasRead = 0, kHasWrite = 1, kDeniesRead = 2, kDeniesWrite = 3 };

std::error_code LastError() {
  return {errno, std::generic_category()};
}

// Answers true when some other open file description holds a lock on the byte.
bool IsHeld(int fd, LockByte byte) {
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = kLockBase + byte;
  probe.l_len = 1;
  if (fcntl(fd, F_OFD_GETLK, &probe) != 0) return false;
  return probe.l_type != F_UNLCK;
}

bool TakeShared(int fd, LockByte byte) {
  struct flock lock {};
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = kLockBase + byte;
  lock.l_len = 1;
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileDescriptor& operator=(FileDescriptor&&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

class PosixFile final : public File {
 public:
  PosixFile(FileDescriptor fd, FileDescriptor lock_fd)
      : fd_(std::move(fd)), lock_fd_(std::move(lock_fd)) {}

  // Positioned reads and writes from an offset kept here: the engine seeks before most reads,
  // and a seek then costs no system call.
  std::size_t Read(void* buffer, std::size_t count, std::error_code& error) override {
    error.clear();
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
      const ssize_t n = ::pread(fd_.get(), out + done, count - done, position_ + done);
      if (n < 0) {
        if (errno == EINTR) continue;
        error = LastError();
        break;
      }
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    position_ += static_cast<off_t>(done);
    return done;
  }

  std::size_t Write(const void* buffer, std::size_t count, std::error_code& error) override {
    error.clear();
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
      const ssize_t n = ::pwrite(fd_.get(), in + done, count - done, position_ + done);
      if (n < 0) {
        if (errno == EINTR) continue;
        error = LastError();
        break;
      }
      done += static_cast<std::size_t>(n);
    }
    position_ += static_cast<off_t>(done);
    return done;
  }

  std::int64_t Seek(std::int64_t offset, Origin origin, std::error_code& error) override {
    error.clear();
    std::int64_t base = 0;
    if (origin == Origin::kCurrent) {
      base = position_;
    } else if (origin == Origin::kEnd) {
      base = Size(error);
      if (error) return -1;
    }
    if (offset > std::numeric_limits<off_t>::max() - base || base + offset < 0) {
      error = std::make_error_code(std::errc::invalid_argument);
      return -1;
    }
    position_ = static_cast<off_t>(base + offset);
    return position_;
  }

  std::int64_t Size(std::error_code& error) override {
    error.clear();
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0) {
      error = LastError();
      return -1;
    }
    return st.st_size;
  }

  std::error_code Truncate(std::int64_t size) override {
    if (::ftruncate(fd_.get(), static_cast<off_t>(size)) != 0) return LastError();
    return {};
  }

  std::error_code Flush() override {
    if (::fsync(fd_.get()) != 0) return LastError();
    return {};
  }

  std::error_code SetLastWriteUnixTime(std::int64_t time) override {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;  // access time stays
    times[1].tv_sec = static_cast<time_t>(time);
    times[1].tv_nsec = 0;
    if (::futimens(fd_.get(), times) != 0) return LastError();
    return {};
  }

  std::error_code SetLastWriteDosTime(std::uint32_t dos_time) override {
    const auto time = DosDateTimeToUnixTime(dos_time);
    if (!time) return std::make_error_code(std::errc::invalid_argument);
    return SetLastWriteUnixTime(*time);
  }

  std::error_code SetAttributes(std::uint32_t attributes,
                                std::optional<std::uint32_t> unix_mode) override {
    // Permission bits, when given, decide alone; only the nine of them, never set-id or sticky.
    mode_t mode = 0;
    if (unix_mode) {
      mode = static_cast<mode_t>(*unix_mode & 0777);
    } else {
      struct stat st {};
      if (::fstat(fd_.get(), &st) != 0) return LastError();
      mode = ModeWithAttributes(st.st_mode & 07777, attributes);
      if (mode == (st.st_mode & 07777)) return {};
    }
    if (::fchmod(fd_.get(), mode) != 0) return LastError();
    return {};
  }

  std::optional<FileStatus> Status() override {
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0) return std::nullopt;
    return StatusOf(st);
  }

  std::error_code SetOwner(std::uint32_t owner, std::uint32_t group) override {
    if (::fchown(fd_.get(), static_cast<uid_t>(owner), static_cast<gid_t>(group)) != 0) {
      return LastError();
    }
    return {};
  }

 private:
  FileDescriptor fd_;
  FileDescriptor lock_fd_;  // set only when fd_ cannot carry the read locks (write-only opens)
  off_t position_ = 0;
};

// Tests the other holders and takes this opener's marker locks. Returns false on a conflict.
bool AcquireSharing(int fd, std::uint16_t mode) {
  using namespace file_mode;
  const bool reads = CanRead(mode), writes = CanWrite(mode);
  const bool denies_read = DeniesRead(mode), denies_write = DeniesWrite(mode);
  if ((reads && IsHeld(fd, kDeniesRead)) || (writes && IsHeld(fd, kDeniesWrite)) ||
      (denies_read && IsHeld(fd, kHasRead)) || (denies_write && IsHeld(fd, kHasWrite))) {
    return false;
  }
  // A failure to take a marker only weakens the emulation (e.g. on a file system without
  // locks); the open itself goes on.
  if (reads) TakeShared(fd, kHasRead);
  if (writes) TakeShared(fd, kHasWrite);
  if (denies_read) TakeShared(fd, kDeniesRead);
  if (denies_write) TakeShared(fd, kDeniesWrite);
  return true;
}

}  // namespace

mode_t CreationMask() {
  // Reading it means setting it, so it is read once; nothing in this program changes it.
  static const mode_t mask = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return mask;
}

mode_t ModeWithAttributes(mode_t current, std::uint32_t attributes) {
  if (attributes & attr::kReadOnly) return current & ~(S_IWUSR | S_IWGRP | S_IWOTH);
  if ((current & S_IWUSR) == 0) return current | ((S_IWUSR | S_IWGRP | S_IWOTH) & ~CreationMask());
  return current;
}

FileStatus StatusOf(const struct stat& st) {
  FileStatus status;
  status.device = static_cast<std::uint64_t>(st.st_dev);
  status.file = static_cast<std::uint64_t>(st.st_ino);
  status.owner = static_cast<std::uint32_t>(st.st_uid);
  status.group = static_cast<std::uint32_t>(st.st_gid);
  status.unix_mode = static_cast<std::uint32_t>(st.st_mode & 0777);
  status.hard_links = static_cast<std::uint32_t>(st.st_nlink);
  status.directory = S_ISDIR(st.st_mode);
  status.symbolic_link = S_ISLNK(st.st_mode);
  status.size = static_cast<std::uint64_t>(st.st_size);
  status.modified_ns =
      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  return status;
}

std::unique_ptr<File> CreatePrivateFile(const std::string& path, std::error_code& error) {
  error.clear();
  // O_EXCL fails on any name that exists, a dangling link included, so no link is followed.
  FileDescriptor fd(
      ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600));
  if (fd.get() < 0) {
    error = LastError();
    return nullptr;
  }
  // The umask may take bits away, never add them; 0600 is asked for once more all the same,
  // so that no mask leaves the owner without reading or writing.
  if (::fchmod(fd.get(), 0600) != 0) {
    error = LastError();
    return nullptr;
  }
  // Held as a file opened with no sharing is, so that another opener in this program or
  // another one (a recovery looking at a tail file still being written) is refused.
  if (!AcquireSharing(fd.get(), file_mode::kCreate)) {
    error = std::make_error_code(std::errc::device_or_resource_busy);
    return nullptr;
  }
  return std::make_unique<PosixFile>(std::move(fd), FileDescriptor());
}

std::unique_ptr<File> CreatePosixFileAt(int folder, const std::string& name,
                                        std::error_code& error) {
  error.clear();
  if (name.empty() || name.find('/') != std::string::npos) {
    error = std::make_error_code(std::errc::invalid_argument);
    return nullptr;
  }
  FileDescriptor fd(
      ::openat(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666));
  if (fd.get() < 0) {
    error = LastError();
    return nullptr;
  }
  return std::make_unique<PosixFile>(std::move(fd), FileDescriptor());
}

std::unique_ptr<File> OpenPosixFile(const std::string& path, std::uint16_t mode,
                                    std::error_code& error) {
  using namespace file_mode;
  error.clear();
  int flags = O_CLOEXEC;
  if (IsCreate(mode)) {
    flags |= O_RDWR | O_CREAT;  // emptied only once the sharing test has passed
  } else if (CanRead(mode) && CanWrite(mode)) {
    flags |= O_RDWR;
  } else {
    flags |= CanWrite(mode) ? O_WRONLY : O_RDONLY;
  }
  // Opened without blocking: a FIFO would otherwise wait for a writer for ever. What is not a
  // regular file or a block device is refused before anything is read from it.
  FileDescriptor fd(::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY, 0666));
  if (fd.get() < 0) {
    error = errno == ENXIO ? MakeErrorCode(FileKind::kFifo) : LastError();
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    error = LastError();
    return nullptr;
  }
  if (!S_ISREG(st.st_mode) && !S_ISBLK(st.st_mode)) {
    error = MakeErrorCode(S_ISDIR(st.st_mode)    ? FileKind::kFolder
                          : S_ISFIFO(st.st_mode) ? FileKind::kFifo
                          : S_ISSOCK(st.st_mode) ? FileKind::kSocket
                          : S_ISCHR(st.st_mode)  ? FileKind::kCharacterDevice
                                                 : FileKind::kOther);
    return nullptr;
  }
  // Regular files ignore the flag; a block device gets its blocking reads back.
  if (S_ISBLK(st.st_mode)) {
    const int status = ::fcntl(fd.get(), F_GETFL);
    if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) != 0) {
      error = LastError();
      return nullptr;
    }
  }
  // The read-only attribute is the owner's write bit; it holds for every user, root included,
  // as it does on Windows.
  if (CanWrite(mode) && !IsCreate(mode) && (st.st_mode & S_IWUSR) == 0) {
    error = std::make_error_code(std::errc::permission_denied);
    return nullptr;
  }
  // Shared read locks need a descriptor open for reading.
  FileDescriptor lock_fd(CanRead(mode) ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  const int locker = lock_fd.get() >= 0 ? lock_fd.get() : fd.get();
  if (!AcquireSharing(locker, mode)) {
    error = std::make_error_code(std::errc::device_or_resource_busy);
    return nullptr;
  }
  if (IsCreate(mode) && ::ftruncate(fd.get(), 0) != 0) {
    error = LastError();
    return nullptr;
  }
  return std::make_unique<PosixFile>(std::move(fd), std::move(lock_fd));
}

}  // namespace qm::platform::posix
