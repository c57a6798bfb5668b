// The console, for command-line tools: a handle is a terminal when it is a console.
#include <iostream>
#include <vector>

#include "platform/terminal.h"
#include "platform/text.h"
#include "platform/win32/windows_api.h"

namespace qm::platform {
namespace {

HANDLE StdHandle(StdStream stream) {
  return ::GetStdHandle(stream == StdStream::kIn    ? STD_INPUT_HANDLE
                        : stream == StdStream::kOut ? STD_OUTPUT_HANDLE
                                                    : STD_ERROR_HANDLE);
}

}  // namespace

bool IsTerminal(StdStream stream) {
  DWORD mode = 0;
  return ::GetConsoleMode(StdHandle(stream), &mode) != 0;
}

bool EnableLineRedraw(StdStream stream) {
  const HANDLE handle = StdHandle(stream);
  DWORD mode = 0;
  if (!::GetConsoleMode(handle, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

bool ReadLineWithoutEcho(std::string& line) {
  const HANDLE input = StdHandle(StdStream::kIn);
  DWORD saved = 0;
  const bool console = ::GetConsoleMode(input, &saved) != 0;
  if (console) ::SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  const bool got = static_cast<bool>(std::getline(std::cin, line));
  if (console) ::SetConsoleMode(input, saved);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return got;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) {
    arguments.push_back(Utf16ToUtf8(reinterpret_cast<const char16_t*>(wide[i])));
  }
  ::LocalFree(wide);
  return arguments;
}

const char16_t kProgramSuffix[] = u".exe";

std::u16string OwnProgramFile() {
  // The call cuts the name to the buffer without saying how long it is: grow until it fits.
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::u16string(buffer.begin(), buffer.begin() + length);
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace qm::platform
