// Commands of the Windows test programs. They run under Wine, while the tools the tests check
// the engine against (Python, zip, 7zz, bsdtar, java) are Linux programs. Wine starts a Unix
// program named by its Unix path, but neither waits for it nor reports how it ended; so the
// command runs in /bin/sh from a script that leaves its output and exit status in files, and
// this side waits for the status file. Windows paths in the command ("C:\users\...") are
// rewritten to the Unix names Wine gives them.
#include <windows.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/temp_dir.h"

namespace qm::testing {
namespace {

using UnixNameFunction = char*(CDECL*)(const wchar_t*);

UnixNameFunction UnixNameOfWine() {
  static const auto function = reinterpret_cast<UnixNameFunction>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  return function;
}

std::string UnixName(const std::string& windows_path) {
  const std::wstring wide(windows_path.begin(), windows_path.end());
  char* unix_name = UnixNameOfWine()(wide.c_str());
  if (unix_name == nullptr) return windows_path;
  std::string result = unix_name;
  ::HeapFree(::GetProcessHeap(), 0, unix_name);
  return result;
}

bool EndsPath(char c) {
  return c == '\'' || c == '"' || c == ' ' || c == '\t' || c == ')' || c == ';' || c == '&' ||
         c == '|' || c == '<' || c == '>' || c == '\n';
}

// "X:\..." or "X:/..." wherever a word starts.
std::string WithUnixPaths(const std::string& command) {
  std::string out;
  std::size_t i = 0;
  while (i < command.size()) {
    const bool word_start = i == 0 || EndsPath(command[i - 1]) || command[i - 1] == '(';
    if (word_start && i + 2 < command.size() &&
        std::isalpha(static_cast<unsigned char>(command[i])) && command[i + 1] == ':' &&
        (command[i + 2] == '\\' || command[i + 2] == '/')) {
      std::size_t end = i;
      while (end < command.size() && !EndsPath(command[end])) ++end;
      out += UnixName(command.substr(i, end - i));
      i = end;
    } else {
      out += command[i++];
    }
  }
  return out;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

int RunCommand(const std::string& command, std::string* output) {
  if (UnixNameOfWine() == nullptr) return -1;  // not under Wine: no Unix tools to reach
  wchar_t temp[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::string base = std::filesystem::path(temp).string() + "qm-run-" +
                           std::to_string(::GetCurrentProcessId()) + "-" +
                           std::to_string(::GetTickCount64());
  const std::string script = base + ".sh", out = base + ".out", status = base + ".status";
  {
    std::ofstream file(script, std::ios::binary);
    file << "export PATH=/usr/local/bin:/usr/bin:/bin\n"
         << "( " << WithUnixPaths(command) << " ) > '" << UnixName(out) << "' 2>&1 < /dev/null\n"
         << "echo $? > '" << UnixName(status) << ".part' && mv '" << UnixName(status) << ".part' '"
         << UnixName(status) << "'\n";
  }
  std::wstring line = L"/bin/sh " + std::filesystem::path(UnixName(script)).wstring();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return -1;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(10);
  while (::GetFileAttributesA(status.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (std::chrono::steady_clock::now() > deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  int code = -1;
  std::istringstream(ReadAll(status)) >> code;
  if (output != nullptr) *output = ReadAll(out);
  ::DeleteFileA(script.c_str());
  ::DeleteFileA(out.c_str());
  ::DeleteFileA(status.c_str());
  return code;
}

}  // namespace qm::testing
