#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace qm::fuzz {

// A file system held in memory, so that extraction can be fuzzed without touching the disk and
// without one run's files changing the next. Paths are taken as they come, after the same
// lexical expansion the native platform does; folders are remembered by name.
class MemoryPlatform : public platform::Platform {
 public:
  MemoryPlatform();

  // Puts a file in place (the parents are created).
  void PutFile(const std::u16string& path, std::vector<std::uint8_t> content);
  // The content of a file, or null.
  const std::vector<std::uint8_t>* FileContent(const std::u16string& path) const;
  std::size_t FileCount() const { return files_.size(); }

  std::u16string AppDataFolder() override { return u"/home"; }
  std::u16string CurrentDirectory() override { return u"/work"; }
  std::u16string TempDirectory() override { return u"/tmp/"; }
  std::u16string ExpandPath(const std::u16string& path) override;
  bool FileNamesAreCaseSensitive() override { return true; }
  std::uint32_t GetAttributes(const std::u16string& path) override;
  std::error_code SetAttributes(const std::u16string& path, std::uint32_t attributes) override;
  std::optional<std::uint32_t> GetLastWriteDosTime(const std::u16string& path) override;
  std::error_code SetLastWriteDosTime(const std::u16string& path, std::uint32_t dos_time) override;
  std::unique_ptr<platform::File> OpenFile(const std::u16string& path, std::uint16_t mode,
                                           std::error_code& error) override;
  std::optional<platform::FileStatus> GetFileStatus(const std::u16string& path,
                                                    bool follow_links) override;
  std::unique_ptr<platform::File> CreatePrivateFile(const std::u16string& path,
                                                    std::error_code& error) override;
  std::error_code MoveFile(const std::u16string& from, const std::u16string& to) override;
  std::error_code ReplaceFile(const std::u16string& from, const std::u16string& to) override;
  std::error_code DeleteFile(const std::u16string& path) override;
  std::error_code CopyFile(const std::u16string& from, const std::u16string& to,
                           bool fail_if_exists) override;
  std::u16string CreateTempFile(const std::u16string& directory, const std::u16string& prefix,
                                std::error_code& error) override;
  std::error_code CreateDirectories(const std::u16string& path) override;
  std::error_code RemoveEmptyDirectory(const std::u16string& path) override;
  std::vector<platform::DirEntry> ListDirectory(const std::u16string& path,
                                                std::uint32_t attribute_filter,
                                                std::error_code& error) override;
  platform::DriveType GetDriveType(const std::u16string&) override {
    return platform::DriveType::kFixed;
  }
  std::optional<std::uint64_t> FreeSpace(const std::u16string&) override {
    return std::uint64_t{1} << 32;
  }
  std::error_code SetVolumeLabel(const std::u16string&, const std::u16string&) override {
    return {};
  }

 private:
  struct Node {
    std::shared_ptr<std::vector<std::uint8_t>> content;
    std::uint32_t attributes = 0x20;
    std::uint32_t dos_time = 0;
  };
  std::string Key(const std::u16string& path);
  bool ParentExists(const std::string& key) const;

  std::map<std::string, Node> files_;
  std::set<std::string> folders_;
  // Every byte held is counted: a runaway item ends with a full disk instead of the fuzzer
  // running out of memory.
  std::shared_ptr<std::size_t> used_;
  int temp_counter_ = 0;
};

}  // namespace qm::fuzz
