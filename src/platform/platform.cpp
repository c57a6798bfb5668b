#include "platform/platform.h"

#include <ctime>

#include "platform/dos_time.h"
#include "platform/file_attributes.h"
#include "platform/file_mode.h"

namespace qm::platform {
namespace {
Platform* current = nullptr;
}

std::error_code Platform::SetLastWriteUnixTime(const std::u16string& path, std::int64_t time) {
  return SetLastWriteDosTime(path, UnixTimeToDosDateTime(static_cast<std::time_t>(time)));
}

std::error_code File::SetLastWriteUnixTime(std::int64_t) {
  return std::make_error_code(std::errc::operation_not_supported);
}

std::error_code File::SetLastWriteDosTime(std::uint32_t) {
  return std::make_error_code(std::errc::operation_not_supported);
}

std::error_code File::SetAttributes(std::uint32_t, std::optional<std::uint32_t>) {
  return std::make_error_code(std::errc::operation_not_supported);
}

std::optional<FileStatus> File::Status() {
  return std::nullopt;
}

std::error_code File::SetOwner(std::uint32_t, std::uint32_t) {
  return {};
}

std::unique_ptr<Folder> Platform::OpenFolder(const std::u16string& path, std::error_code& error) {
  error.clear();
  const std::uint32_t attributes = GetAttributes(path);
  if (attributes == attr::kInvalid) {
    error = std::make_error_code(std::errc::no_such_file_or_directory);
    return nullptr;
  }
  if ((attributes & attr::kDirectory) == 0) {
    error = std::make_error_code(std::errc::not_a_directory);
    return nullptr;
  }
  const bool separated = path.ends_with(kPathSeparator) || path.ends_with(u'/');
  return std::make_unique<Folder>(separated ? path : path + kPathSeparator);
}

// By path, for platforms without folder handles.
std::unique_ptr<File> Platform::CreateTempFileIn(Folder& folder, const std::u16string& prefix,
                                                 std::u16string& name, std::error_code& error) {
  const std::u16string path = CreateTempFile(folder.Path(), prefix, error);
  if (error) return nullptr;
  auto file = OpenFile(path, file_mode::kReadWrite | file_mode::kShareExclusive, error);
  if (!file) {
    DeleteFile(path);
    return nullptr;
  }
  name = path.substr(path.find_last_of(u"/" + std::u16string(1, kPathSeparator)) + 1);
  return file;
}

std::error_code Platform::ReplaceFileIn(Folder& folder, const std::u16string& from,
                                        const std::u16string& to) {
  return ReplaceFile(folder.Path() + from, folder.Path() + to);
}

std::error_code Platform::DeleteFileIn(Folder& folder, const std::u16string& name) {
  return DeleteFile(folder.Path() + name);
}

std::error_code Platform::SetUnixPermissions(const std::u16string&, std::uint32_t) {
  return {};
}

Platform& Platform::Current() {
  return current != nullptr ? *current : Native();
}

std::error_code Platform::FindLinkBelow(const std::u16string&, const std::u16string&) {
  return {};
}

ScopedPlatform::ScopedPlatform(Platform& replacement) : previous_(current) {
  current = &replacement;
}

ScopedPlatform::~ScopedPlatform() {
  current = previous_;
}

}  // namespace qm::platform
