#include <termios.h>
#include <unistd.h>

#include <climits>
#include <iostream>

#include "platform/terminal.h"
#include "platform/text.h"

namespace qm::platform {

bool IsTerminal(StdStream stream) {
  const int fd = stream == StdStream::kIn    ? STDIN_FILENO
                 : stream == StdStream::kOut ? STDOUT_FILENO
                                             : STDERR_FILENO;
  return ::isatty(fd) == 1;
}

bool EnableLineRedraw(StdStream stream) {
  return IsTerminal(stream);
}

bool ReadLineWithoutEcho(std::string& line) {
  termios saved{};
  const bool terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  const bool got = static_cast<bool>(std::getline(std::cin, line));
  if (terminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return got;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

const char16_t kProgramSuffix[] = u"";

std::u16string OwnProgramFile() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || static_cast<std::size_t>(length) == sizeof path) return {};
  return Utf8ToUtf16(std::string_view(path, static_cast<std::size_t>(length)));
}

}  // namespace qm::platform
