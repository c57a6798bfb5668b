#pragma once

#include "platform/platform.h"

namespace qm::platform {

// Forwards every call to another platform. Derive from it and override the one call whose
// failure a test wants to see.
class PlatformWrapper : public Platform {
 public:
  explicit PlatformWrapper(Platform& target) : target_(target) {}
  Platform& target() { return target_; }

  std::u16string AppDataFolder() override { return target_.AppDataFolder(); }
  std::u16string CurrentDirectory() override { return target_.CurrentDirectory(); }
  std::u16string TempDirectory() override { return target_.TempDirectory(); }
  std::uint32_t CurrentUser() override { return target_.CurrentUser(); }
  std::u16string ExpandPath(const std::u16string& path) override {
    return target_.ExpandPath(path);
  }
  bool FileNamesAreCaseSensitive() override { return target_.FileNamesAreCaseSensitive(); }
  std::uint32_t GetAttributes(const std::u16string& path) override {
    return target_.GetAttributes(path);
  }
  std::error_code SetAttributes(const std::u16string& path, std::uint32_t attributes) override {
    return target_.SetAttributes(path, attributes);
  }
  std::optional<std::uint32_t> GetLastWriteDosTime(const std::u16string& path) override {
    return target_.GetLastWriteDosTime(path);
  }
  std::error_code SetLastWriteDosTime(const std::u16string& path, std::uint32_t dos_time) override {
    return target_.SetLastWriteDosTime(path, dos_time);
  }
  std::error_code SetLastWriteUnixTime(const std::u16string& path, std::int64_t time) override {
    return target_.SetLastWriteUnixTime(path, time);
  }
  std::error_code SetUnixPermissions(const std::u16string& path, std::uint32_t mode) override {
    return target_.SetUnixPermissions(path, mode);
  }
  std::optional<FileStatus> GetFileStatus(const std::u16string& path, bool follow_links) override {
    return target_.GetFileStatus(path, follow_links);
  }
  std::unique_ptr<File> OpenFile(const std::u16string& path, std::uint16_t mode,
                                 std::error_code& error) override {
    return target_.OpenFile(path, mode, error);
  }
  std::unique_ptr<File> CreatePrivateFile(const std::u16string& path,
                                          std::error_code& error) override {
    return target_.CreatePrivateFile(path, error);
  }
  std::error_code MoveFile(const std::u16string& from, const std::u16string& to) override {
    return target_.MoveFile(from, to);
  }
  std::error_code ReplaceFile(const std::u16string& from, const std::u16string& to) override {
    return target_.ReplaceFile(from, to);
  }
  std::error_code DeleteFile(const std::u16string& path) override {
    return target_.DeleteFile(path);
  }
  std::error_code FlushDirectory(const std::u16string& path) override {
    return target_.FlushDirectory(path);
  }
  std::error_code CopyFile(const std::u16string& from, const std::u16string& to,
                           bool fail_if_exists) override {
    return target_.CopyFile(from, to, fail_if_exists);
  }
  std::unique_ptr<Folder> OpenFolder(const std::u16string& path, std::error_code& error) override {
    return target_.OpenFolder(path, error);
  }
  std::unique_ptr<File> CreateTempFileIn(Folder& folder, const std::u16string& prefix,
                                         std::u16string& name, std::error_code& error) override {
    return target_.CreateTempFileIn(folder, prefix, name, error);
  }
  std::error_code ReplaceFileIn(Folder& folder, const std::u16string& from,
                                const std::u16string& to) override {
    return target_.ReplaceFileIn(folder, from, to);
  }
  std::error_code DeleteFileIn(Folder& folder, const std::u16string& name) override {
    return target_.DeleteFileIn(folder, name);
  }
  std::u16string CreateTempFile(const std::u16string& directory, const std::u16string& prefix,
                                std::error_code& error) override {
    return target_.CreateTempFile(directory, prefix, error);
  }
  std::error_code CreateDirectories(const std::u16string& path) override {
    return target_.CreateDirectories(path);
  }
  std::error_code RemoveEmptyDirectory(const std::u16string& path) override {
    return target_.RemoveEmptyDirectory(path);
  }
  std::vector<DirEntry> ListDirectory(const std::u16string& path, std::uint32_t attribute_filter,
                                      std::error_code& error) override {
    return target_.ListDirectory(path, attribute_filter, error);
  }
  std::error_code FindLinkBelow(const std::u16string& base, const std::u16string& path) override {
    return target_.FindLinkBelow(base, path);
  }
  DriveType GetDriveType(const std::u16string& path) override { return target_.GetDriveType(path); }
  std::optional<std::uint64_t> FreeSpace(const std::u16string& path) override {
    return target_.FreeSpace(path);
  }
  std::error_code SetVolumeLabel(const std::u16string& path, const std::u16string& label) override {
    return target_.SetVolumeLabel(path, label);
  }

 private:
  Platform& target_;
};

}  // namespace qm::platform
