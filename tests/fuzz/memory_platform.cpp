#include "memory_platform.h"

#include <algorithm>
#include <cstring>

#include "platform/file_attributes.h"
#include "platform/file_mode.h"
#include "platform/text.h"

namespace qm::fuzz {
namespace {

using platform::File;

std::string ParentOf(const std::string& key) {
  const auto cut = key.find_last_of('/');
  return cut == 0 || cut == std::string::npos ? "/" : key.substr(0, cut);
}

class MemoryFile : public File {
 public:
  MemoryFile(std::shared_ptr<std::vector<std::uint8_t>> content, std::shared_ptr<std::size_t> used,
             bool writable)
      : content_(std::move(content)), used_(std::move(used)), writable_(writable) {}

  std::size_t Read(void* buffer, std::size_t count, std::error_code&) override {
    if (position_ >= content_->size()) return 0;
    const std::size_t n = std::min(count, content_->size() - position_);
    std::memcpy(buffer, content_->data() + position_, n);
    position_ += n;
    return n;
  }
  std::size_t Write(const void* buffer, std::size_t count, std::error_code& error) override {
    if (!writable_) {
      error = std::make_error_code(std::errc::bad_file_descriptor);
      return 0;
    }
    const std::size_t end = position_ + count;
    if (end > content_->size()) {
      const std::size_t growth = end - content_->size();
      if (*used_ + growth > kDiskLimit) {
        error = std::make_error_code(std::errc::no_space_on_device);
        return 0;
      }
      *used_ += growth;
      content_->resize(end);
    }
    if (count > 0) std::memcpy(content_->data() + position_, buffer, count);
    position_ = end;
    return count;
  }
  std::int64_t Seek(std::int64_t offset, Origin origin, std::error_code& error) override {
    std::int64_t base = 0;
    if (origin == Origin::kCurrent) base = static_cast<std::int64_t>(position_);
    if (origin == Origin::kEnd) base = static_cast<std::int64_t>(content_->size());
    // Far seeks are refused: nothing the engine does legitimately goes past a few GB.
    if (offset > (std::int64_t{1} << 40) || offset < -(std::int64_t{1} << 40) ||
        base + offset < 0) {
      error = std::make_error_code(std::errc::invalid_argument);
      return -1;
    }
    position_ = static_cast<std::size_t>(base + offset);
    return base + offset;
  }
  std::int64_t Size(std::error_code&) override {
    return static_cast<std::int64_t>(content_->size());
  }
  std::error_code Truncate(std::int64_t size) override {
    const auto n = static_cast<std::size_t>(size);
    if (n > content_->size()) {
      if (*used_ + (n - content_->size()) > kDiskLimit) {
        return std::make_error_code(std::errc::no_space_on_device);
      }
      *used_ += n - content_->size();
    } else {
      *used_ -= content_->size() - n;
    }
    content_->resize(n);
    return {};
  }
  std::error_code Flush() override { return {}; }

  static constexpr std::size_t kDiskLimit = 64u << 20;

 private:
  std::shared_ptr<std::vector<std::uint8_t>> content_;
  std::shared_ptr<std::size_t> used_;
  bool writable_;
  std::size_t position_ = 0;
};

}  // namespace

MemoryPlatform::MemoryPlatform() : used_(std::make_shared<std::size_t>(0)) {
  for (const char* folder : {"/", "/home", "/work", "/tmp"}) folders_.insert(folder);
}

std::string MemoryPlatform::Key(const std::u16string& path) {
  std::string key = platform::Utf16ToUtf8(ExpandPath(path));
  while (key.size() > 1 && key.back() == '/') key.pop_back();
  return key;
}

bool MemoryPlatform::ParentExists(const std::string& key) const {
  return folders_.count(ParentOf(key)) != 0;
}

void MemoryPlatform::PutFile(const std::u16string& path, std::vector<std::uint8_t> content) {
  const std::string key = Key(path);
  CreateDirectories(platform::Utf8ToUtf16(ParentOf(key)));
  *used_ += content.size();
  files_[key].content = std::make_shared<std::vector<std::uint8_t>>(std::move(content));
}

const std::vector<std::uint8_t>* MemoryPlatform::FileContent(const std::u16string& path) const {
  const auto it = files_.find(const_cast<MemoryPlatform*>(this)->Key(path));
  return it == files_.end() ? nullptr : it->second.content.get();
}

std::u16string MemoryPlatform::ExpandPath(const std::u16string& path) {
  std::u16string full = path;
  std::replace(full.begin(), full.end(), u'\\', u'/');
  if (full.empty() || full[0] != u'/') full = CurrentDirectory() + u"/" + full;
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
  if (full.size() > 1 && full.back() == u'/' && !out.empty()) out += u'/';
  return out.empty() ? u"/" : out;
}

std::uint32_t MemoryPlatform::GetAttributes(const std::u16string& path) {
  const std::string key = Key(path);
  if (folders_.count(key)) return platform::attr::kDirectory;
  const auto it = files_.find(key);
  return it == files_.end() ? platform::attr::kInvalid : it->second.attributes;
}

std::error_code MemoryPlatform::SetAttributes(const std::u16string& path,
                                              std::uint32_t attributes) {
  const auto it = files_.find(Key(path));
  if (it == files_.end()) {
    return folders_.count(Key(path)) ? std::error_code()
                                     : std::make_error_code(std::errc::no_such_file_or_directory);
  }
  it->second.attributes = (attributes & platform::attr::kReadOnly) | platform::attr::kArchive;
  return {};
}

std::optional<std::uint32_t> MemoryPlatform::GetLastWriteDosTime(const std::u16string& path) {
  const auto it = files_.find(Key(path));
  if (it == files_.end()) return std::nullopt;
  return it->second.dos_time;
}

std::error_code MemoryPlatform::SetLastWriteDosTime(const std::u16string& path,
                                                    std::uint32_t dos_time) {
  const auto it = files_.find(Key(path));
  if (it == files_.end()) return std::make_error_code(std::errc::no_such_file_or_directory);
  it->second.dos_time = dos_time;
  return {};
}

std::unique_ptr<File> MemoryPlatform::OpenFile(const std::u16string& path, std::uint16_t mode,
                                               std::error_code& error) {
  const std::string key = Key(path);
  if (folders_.count(key)) {
    error = std::make_error_code(std::errc::is_a_directory);
    return nullptr;
  }
  auto it = files_.find(key);
  if (platform::file_mode::IsCreate(mode)) {
    if (!ParentExists(key)) {
      error = std::make_error_code(std::errc::no_such_file_or_directory);
      return nullptr;
    }
    if (it != files_.end() && (it->second.attributes & platform::attr::kReadOnly)) {
      error = std::make_error_code(std::errc::permission_denied);
      return nullptr;
    }
    if (it != files_.end()) *used_ -= it->second.content->size();
    Node& node = files_[key];
    node.content = std::make_shared<std::vector<std::uint8_t>>();
    return std::make_unique<MemoryFile>(node.content, used_, true);
  }
  if (it == files_.end()) {
    error = std::make_error_code(std::errc::no_such_file_or_directory);
    return nullptr;
  }
  return std::make_unique<MemoryFile>(it->second.content, used_,
                                      platform::file_mode::CanWrite(mode));
}

std::error_code MemoryPlatform::MoveFile(const std::u16string& from, const std::u16string& to) {
  if (GetAttributes(to) != platform::attr::kInvalid) {
    return std::make_error_code(std::errc::file_exists);
  }
  return ReplaceFile(from, to);
}

std::error_code MemoryPlatform::ReplaceFile(const std::u16string& from, const std::u16string& to) {
  const std::string source = Key(from);
  const std::string target = Key(to);
  const auto it = files_.find(source);
  if (it == files_.end()) return std::make_error_code(std::errc::no_such_file_or_directory);
  if (!ParentExists(target) || folders_.count(target)) {
    return std::make_error_code(std::errc::no_such_file_or_directory);
  }
  if (source == target) return {};
  Node node = it->second;
  files_.erase(it);
  const auto old = files_.find(target);
  if (old != files_.end()) *used_ -= old->second.content->size();
  files_[target] = std::move(node);
  return {};
}

std::error_code MemoryPlatform::DeleteFile(const std::u16string& path) {
  const auto it = files_.find(Key(path));
  if (it == files_.end()) return std::make_error_code(std::errc::no_such_file_or_directory);
  *used_ -= it->second.content->size();
  files_.erase(it);
  return {};
}

std::error_code MemoryPlatform::CopyFile(const std::u16string& from, const std::u16string& to,
                                         bool fail_if_exists) {
  const auto it = files_.find(Key(from));
  if (it == files_.end()) return std::make_error_code(std::errc::no_such_file_or_directory);
  if (fail_if_exists && GetAttributes(to) != platform::attr::kInvalid) {
    return std::make_error_code(std::errc::file_exists);
  }
  const std::string target = Key(to);
  if (!ParentExists(target)) return std::make_error_code(std::errc::no_such_file_or_directory);
  Node copy = it->second;
  copy.content = std::make_shared<std::vector<std::uint8_t>>(*it->second.content);
  *used_ += copy.content->size();
  files_[target] = std::move(copy);
  return {};
}

std::optional<platform::FileStatus> MemoryPlatform::GetFileStatus(const std::u16string& path,
                                                                  bool) {
  const std::string key = Key(path);
  platform::FileStatus status;
  status.file = std::hash<std::string>{}(key);
  if (folders_.count(key)) {
    status.directory = true;
    return status;
  }
  const auto it = files_.find(key);
  if (it == files_.end()) return std::nullopt;
  status.size = it->second.content ? it->second.content->size() : 0;
  return status;
}

std::unique_ptr<File> MemoryPlatform::CreatePrivateFile(const std::u16string& path,
                                                        std::error_code& error) {
  const std::string key = Key(path);
  if (folders_.count(key) || files_.count(key)) {
    error = std::make_error_code(std::errc::file_exists);
    return nullptr;
  }
  return OpenFile(path, platform::file_mode::kCreate, error);
}

std::u16string MemoryPlatform::CreateTempFile(const std::u16string& directory,
                                              const std::u16string& prefix,
                                              std::error_code& error) {
  const std::u16string folder = ExpandPath(directory);
  if (!folders_.count(Key(folder))) {
    error = std::make_error_code(std::errc::no_such_file_or_directory);
    return {};
  }
  const std::u16string name = (folder.ends_with(u'/') ? folder : folder + u"/") + prefix +
                              platform::Utf8ToUtf16(std::to_string(++temp_counter_));
  files_[Key(name)].content = std::make_shared<std::vector<std::uint8_t>>();
  return name;
}

std::error_code MemoryPlatform::CreateDirectories(const std::u16string& path) {
  const std::string key = Key(path);
  std::size_t pos = 1;
  while (pos <= key.size()) {
    std::size_t end = key.find('/', pos);
    if (end == std::string::npos) end = key.size();
    const std::string prefix = key.substr(0, end);
    if (files_.count(prefix)) return std::make_error_code(std::errc::not_a_directory);
    folders_.insert(prefix);
    pos = end + 1;
  }
  return {};
}

std::error_code MemoryPlatform::RemoveEmptyDirectory(const std::u16string& path) {
  const std::string key = Key(path);
  if (!folders_.count(key)) return std::make_error_code(std::errc::no_such_file_or_directory);
  const std::string inside = key + "/";
  const auto has_child = [&](const auto& names) {
    const auto it = names.lower_bound(inside);
    return it != names.end() && it->first.compare(0, inside.size(), inside) == 0;
  };
  const auto folder_child = folders_.lower_bound(inside);
  if (has_child(files_) ||
      (folder_child != folders_.end() && folder_child->compare(0, inside.size(), inside) == 0)) {
    return std::make_error_code(std::errc::directory_not_empty);
  }
  folders_.erase(key);
  return {};
}

std::vector<platform::DirEntry> MemoryPlatform::ListDirectory(const std::u16string& path,
                                                              std::uint32_t,
                                                              std::error_code& error) {
  const std::string key = Key(path);
  std::vector<platform::DirEntry> entries;
  if (!folders_.count(key)) {
    error = std::make_error_code(std::errc::no_such_file_or_directory);
    return entries;
  }
  const std::string inside = key == "/" ? key : key + "/";
  for (const auto& [name, node] : files_) {
    if (name.compare(0, inside.size(), inside) != 0) continue;
    if (name.find('/', inside.size()) != std::string::npos) continue;
    entries.push_back({platform::Utf8ToUtf16(name.substr(inside.size())), node.attributes,
                       node.content->size(), node.dos_time});
  }
  return entries;
}

}  // namespace qm::fuzz
