#include "fault_platform.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/file_mode.h"
#include "platform/text.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;

std::error_code Broken() {
  return std::make_error_code(std::errc::io_error);
}

// Plain file access behind the platform's back: what the medium holds is bookkeeping of the
// test, not calls of the engine.
std::string Slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Spill(const fs::path& file, const std::string& content) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

}  // namespace

std::size_t FaultyFile::Read(void* b, std::size_t n, std::error_code& e) {
  if (plan_.armed && !plan_.dead && plan_.FailThisCall()) {
    e = Broken();
    return 0;
  }
  return inner_->Read(b, n, e);
}

std::size_t FaultyFile::Write(const void* b, std::size_t n, std::error_code& e) {
  if (plan_.WriteFails()) {
    e = Broken();
    return 0;
  }
  return inner_->Write(b, n, e);
}

std::int64_t FaultyFile::Seek(std::int64_t o, Origin w, std::error_code& e) {
  if (plan_.armed && !plan_.dead && plan_.FailThisCall()) {
    e = Broken();
    return -1;
  }
  return inner_->Seek(o, w, e);
}

std::int64_t FaultyFile::Size(std::error_code& e) {
  if (plan_.armed && !plan_.dead && plan_.FailThisCall()) {
    e = Broken();
    return -1;
  }
  return inner_->Size(e);
}

std::error_code FaultyFile::Truncate(std::int64_t s) {
  if (plan_.FailThisCall()) return Broken();
  return inner_->Truncate(s);
}

std::error_code FaultyFile::Flush() {
  if (plan_.FailThisCall()) return Broken();
  if (auto e = inner_->Flush()) return e;
  auto found = plan_.medium.find(path_);
  if (found != plan_.medium.end()) found->second.content = Slurp(path_);
  return {};
}

std::unique_ptr<platform::File> FaultyDisk::OpenFile(const std::u16string& path, std::uint16_t mode,
                                                     std::error_code& error) {
  const std::string native = platform::Utf16ToUtf8(path);
  const bool writes = platform::file_mode::CanWrite(mode);
  if (plan_.refuse_tail && native.ends_with(".qmtail") && platform::file_mode::IsCreate(mode)) {
    error = std::make_error_code(std::errc::filename_too_long);
    return nullptr;
  }
  if (plan_.FailThisCall() && (writes || !plan_.dead)) {
    error = Broken();
    return nullptr;
  }
  const bool existed = fs::exists(native);
  auto file = target().OpenFile(path, mode, error);
  if (!file) return file;
  if (writes && !plan_.medium.contains(native)) {
    plan_.medium[native] = existed ? Durable{true, Slurp(native)} : Durable{};
  }
  return std::make_unique<FaultyFile>(std::move(file), plan_, native);
}

std::error_code FaultyDisk::DeleteFile(const std::u16string& path) {
  if (plan_.FailThisCall()) return Broken();
  // A deletion is taken as durable at once: the engine never relies on one not having been.
  plan_.medium.erase(platform::Utf16ToUtf8(path));
  return target().DeleteFile(path);
}

std::error_code FaultyDisk::MoveFile(const std::u16string& from, const std::u16string& to) {
  if (plan_.FailThisCall()) return Broken();
  return target().MoveFile(from, to);
}

std::error_code FaultyDisk::ReplaceFile(const std::u16string& from, const std::u16string& to) {
  if (plan_.FailThisCall()) return Broken();
  return target().ReplaceFile(from, to);
}

std::optional<platform::FileStatus> FaultyFile::Status() {
  if (plan_.armed && !plan_.dead && plan_.FailThisCall()) return std::nullopt;
  return inner_->Status();
}

std::error_code FaultyFile::SetAttributes(std::uint32_t attributes,
                                          std::optional<std::uint32_t> unix_mode) {
  if (plan_.FailThisCall()) return Broken();
  return inner_->SetAttributes(attributes, unix_mode);
}

std::error_code FaultyFile::SetOwner(std::uint32_t owner, std::uint32_t group) {
  if (plan_.FailThisCall()) return Broken();
  return inner_->SetOwner(owner, group);
}

std::unique_ptr<platform::File> FaultyDisk::CreatePrivateFile(const std::u16string& path,
                                                              std::error_code& error) {
  const std::string native = platform::Utf16ToUtf8(path);
  if (plan_.refuse_tail && native.ends_with(".qmtail")) {
    error = std::make_error_code(std::errc::filename_too_long);
    return nullptr;
  }
  if (plan_.FailThisCall()) {
    error = Broken();
    return nullptr;
  }
  auto file = target().CreatePrivateFile(path, error);
  if (!file) return file;
  plan_.medium[native] = Durable{};
  return std::make_unique<FaultyFile>(std::move(file), plan_, native);
}

std::u16string FaultyDisk::CreateTempFile(const std::u16string& directory,
                                          const std::u16string& prefix, std::error_code& error) {
  if (plan_.FailThisCall()) {
    error = Broken();
    return {};
  }
  return target().CreateTempFile(directory, prefix, error);
}

std::error_code FaultyDisk::FlushDirectory(const std::u16string& path) {
  if (plan_.FailThisCall()) return Broken();
  const fs::path folder = fs::absolute(platform::Utf16ToUtf8(path)).lexically_normal();
  for (auto& [name, durable] : plan_.medium) {
    if (fs::absolute(name).parent_path().lexically_normal() == folder) durable.name = true;
  }
  return target().FlushDirectory(path);
}

void Reboot(const FaultPlan& plan) {
  for (const auto& [name, durable] : plan.medium) {
    if (!durable.name) {
      fs::remove(name);
    } else {
      Spill(name, durable.content);
    }
  }
}

}  // namespace qm::archive::testing
