#pragma once

#include <string>
#include <utility>

#include "platform/platform.h"

namespace qm::platform {

// Owns a temporary file until it is handed over: the file is deleted when the guard goes out
// of scope on any path (a failed write, an exception) unless Release() was called after the
// file took its place (renamed over the original, or kept as the result).
class TempFileGuard {
 public:
  explicit TempFileGuard(std::u16string path) : path_(std::move(path)) {}
  ~TempFileGuard() {
    if (!path_.empty()) Platform::Current().DeleteFile(path_);
  }
  TempFileGuard(const TempFileGuard&) = delete;
  TempFileGuard& operator=(const TempFileGuard&) = delete;

  const std::u16string& Path() const { return path_; }
  // The file is no longer ours to delete.
  void Release() { path_.clear(); }

 private:
  std::u16string path_;
};

}  // namespace qm::platform
