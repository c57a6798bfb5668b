#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "platform/terminal.h"

namespace qm::platform {

bool IsTerminal(StdStream stream) {
  const int fd = stream == StdStream::kIn ? STDIN_FILENO
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

}  // namespace qm::platform
