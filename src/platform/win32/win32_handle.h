#pragma once

#include <optional>
#include <string>
#include <system_error>

#include "platform/platform.h"
#include "platform/win32/windows_api.h"

namespace qm::platform::win32 {

// A kernel handle closed on destruction; INVALID_HANDLE_VALUE and null both mean "none".
class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~Handle() {
    if (valid()) ::CloseHandle(handle_);
  }
  Handle(Handle&& other) noexcept : handle_(other.handle_) { other.handle_ = INVALID_HANDLE_VALUE; }
  Handle& operator=(Handle&&) = delete;
  Handle(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }

 private:
  HANDLE handle_;
};

inline std::error_code LastError() {
  return {static_cast<int>(::GetLastError()), std::system_category()};
}

// char16_t and wchar_t are the same 16-bit units on Windows.
inline const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline std::u16string FromWide(const wchar_t* text) {
  return reinterpret_cast<const char16_t*>(text);
}

// What an open handle is: volume serial and file index for its identity, the read-only
// attribute for its owner's write bit. Windows has no owner to compare: 0.
std::optional<FileStatus> StatusOfHandle(HANDLE handle);

}  // namespace qm::platform::win32
