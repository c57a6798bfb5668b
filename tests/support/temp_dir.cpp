#include "support/temp_dir.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace qm::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = fs::temp_directory_path() /
                               ("qm-test-" + std::to_string(random()) + std::to_string(attempt));
    if (fs::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary directory");
}

namespace {

// Removes a tree entry by entry, each tried once. std::filesystem::remove_all cannot be used:
// under Wine a symbolic link whose target went first stays listed while Windows calls no
// longer see it, and remove_all's iterator then retries its removal forever.
void RemoveTree(const fs::path& dir) {
  std::error_code ignored;
  // Opened up first, so that a test's read-only folder can be listed and emptied.
  fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(dir, ignored), end; !ignored && it != end; it.increment(ignored)) {
    entries.push_back(it->path());
  }
  for (const fs::path& entry : entries) {
    const fs::file_status status = fs::symlink_status(entry, ignored);
    if (fs::is_directory(status)) {
      RemoveTree(entry);
      continue;
    }
    // Windows keeps a read-only file from being deleted. A link is left as it is: its target
    // may lie outside the tree.
    if (fs::is_regular_file(status)) {
      fs::permissions(entry, fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove(entry, ignored);
  }
  fs::remove(dir, ignored);
}

}  // namespace

TempDir::~TempDir() {
  RemoveTree(path_);
}

std::u16string TempDir::u16(const std::string& name) const {
  return (name.empty() ? path_ : path_ / name).u16string();
}

std::string ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace qm::testing
