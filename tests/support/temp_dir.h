#pragma once

#include <filesystem>
#include <string>

namespace qm::testing {

// A fresh directory under the system's temporary folder, removed with everything in it when
// the object goes. Permissions are restored first so read-only leftovers do not stay behind.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  std::u16string u16(const std::string& name = {}) const;

 private:
  std::filesystem::path path_;
};

// Whole-file helpers for fixtures.
std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

// Runs a shell command and answers its exit status; its output goes to `output` when given.
int RunCommand(const std::string& command, std::string* output = nullptr);

}  // namespace qm::testing
