// A platform that fails on cue, shared by the tests that prove a write loses nothing:
//   - it fails its K-th call (each read, write, seek, size, truncate, flush, open, create,
//     delete, rename in turn) once armed;
//   - it cuts the power after its N-th write: every later write fails, and what was not flushed
//     to the medium is lost (file contents since their last flush; file names since their
//     folder's last flush). `Reboot` then leaves on disk what the medium kept.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <system_error>

#include "platform/platform_wrapper.h"

namespace qm::archive::testing {

// What the medium holds of a file: its name once its folder was flushed, its content as of its
// last flush.
struct Durable {
  bool name = false;
  std::string content;
};

struct FaultPlan {
  bool armed = false;
  // The archive's folder cannot hold a tail file (the commit writes beside and renames).
  bool refuse_tail = false;
  // The failure table: the call that fails (counted from 1 while armed).
  long fail_at = -1;
  long calls = 0;
  // The crash table: writes allowed before the power goes.
  long crash_after = -1;
  long writes = 0;
  bool dead = false;
  std::map<std::string, Durable> medium;

  bool FailThisCall() {
    if (!armed) return false;
    if (dead) return true;
    return ++calls == fail_at;
  }
  bool WriteFails() {
    if (FailThisCall()) return true;
    if (!armed || crash_after < 0) return false;
    if (++writes > crash_after) dead = true;
    return dead;
  }
};

class FaultyFile final : public platform::File {
 public:
  FaultyFile(std::unique_ptr<platform::File> inner, FaultPlan& plan, std::string path)
      : inner_(std::move(inner)), plan_(plan), path_(std::move(path)) {}
  std::size_t Read(void* b, std::size_t n, std::error_code& e) override;
  std::size_t Write(const void* b, std::size_t n, std::error_code& e) override;
  std::int64_t Seek(std::int64_t o, Origin w, std::error_code& e) override;
  std::int64_t Size(std::error_code& e) override;
  std::error_code Truncate(std::int64_t s) override;
  std::error_code Flush() override;
  std::optional<platform::FileStatus> Status() override;
  std::error_code SetAttributes(std::uint32_t attributes,
                                std::optional<std::uint32_t> unix_mode) override;
  std::error_code SetOwner(std::uint32_t owner, std::uint32_t group) override;

 private:
  std::unique_ptr<platform::File> inner_;
  FaultPlan& plan_;
  std::string path_;
};

class FaultyDisk final : public platform::PlatformWrapper {
 public:
  explicit FaultyDisk(FaultPlan& plan)
      : PlatformWrapper(platform::Platform::Native()), plan_(plan) {}

  std::unique_ptr<platform::File> OpenFile(const std::u16string& path, std::uint16_t mode,
                                           std::error_code& error) override;
  std::unique_ptr<platform::File> CreatePrivateFile(const std::u16string& path,
                                                    std::error_code& error) override;
  std::error_code DeleteFile(const std::u16string& path) override;
  std::error_code MoveFile(const std::u16string& from, const std::u16string& to) override;
  std::error_code ReplaceFile(const std::u16string& from, const std::u16string& to) override;
  std::u16string CreateTempFile(const std::u16string& directory, const std::u16string& prefix,
                                std::error_code& error) override;
  std::error_code FlushDirectory(const std::u16string& path) override;

 private:
  FaultPlan& plan_;
};

// The power came back: every file the commit wrote holds what reached the medium.
void Reboot(const FaultPlan& plan);

}  // namespace qm::archive::testing
