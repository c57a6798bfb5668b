#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "archive/directory/dir_manager.h"
#include "archive/zip_archiver.h"
#include "support/temp_dir.h"

namespace qm::archive::testing {

// A fresh directory per test (a shared TempDir) with the archive tests' fixture writers.
class ScratchDir {
 public:
  ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  std::u16string U16(const std::string& name) const;
  // Writes a file below the directory, creating its folders.
  void Write(const std::string& name, const std::string& content) const;
  // The usual small tree: a.txt, empty.txt, docs/b.txt (compressible), docs/sub/c.bin.
  void MakeTree() const;

 private:
  qm::testing::TempDir dir_;
  std::filesystem::path path_;
};

struct CommandResult {
  int exit_code = -1;
  std::string output;  // stdout and stderr together
};

// Runs a shell command in `dir` (sh -c), capturing its output.
CommandResult RunShell(const std::string& command, const std::filesystem::path& dir);
// Runs a command and fails the current test when it does not exit with 0.
void MustRun(const std::string& command, const std::filesystem::path& dir);
// Runs a Python program given as text in `dir`.
void MustRunPython(const std::string& program, const std::filesystem::path& dir);

// One entry as an archive reader reports it.
struct EntryView {
  std::string name;  // UTF-8
  std::uint64_t size = 0;
  std::uint64_t compressed = 0;
  std::string crc;  // 8 hex digits
  int method = 0;
  std::string flags;  // 4 hex digits
  std::string time;   // YYYY-MM-DD hh:mm:ss
  std::string comment;
  std::string external_attr;  // 8 hex digits
  std::uint64_t offset = 0;
  bool operator==(const EntryView&) const = default;
};
void PrintTo(const EntryView& e, std::ostream* os);

struct ArchiveView {
  std::string comment;
  std::vector<EntryView> entries;
  bool operator==(const ArchiveView&) const = default;
};
void PrintTo(const ArchiveView& v, std::ostream* os);

// Python's zipfile view of an archive (zip_view.py).
ArchiveView PythonView(const std::filesystem::path& archive);
// The engine's view of an archive opened read-only with `archiver`'s settings.
ArchiveView EngineView(ZipArchiver& archiver, const std::filesystem::path& archive);
ArchiveView EngineView(const std::filesystem::path& archive);

std::string ReadFile(const std::filesystem::path& file);
void WriteFile(const std::filesystem::path& file, const std::string& content);
std::string Utf8(const std::u16string& text);
// A "/"-separated relative path with the platform's separator, as the engine hands names to
// callers.
std::string NativeSeparators(std::string path);
// Every file and link below `root` by relative path: a file's content, a link's "-> target".
// Two snapshots compare equal when nothing was made, changed or removed in between.
std::map<std::string, std::string> FilesWithContent(const std::filesystem::path& root);
// Whether symbolic links can be made in `dir` (not under Wine, whose C++ runtime cannot).
bool CanMakeSymbolicLinks(const std::filesystem::path& dir);

}  // namespace qm::archive::testing
