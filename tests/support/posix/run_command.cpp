#include <sys/wait.h>

#include <cstdio>

#include "support/temp_dir.h"

namespace qm::testing {

int RunCommand(const std::string& command, std::string* output) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  std::string text;
  while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
  const int status = pclose(pipe);
  if (output != nullptr) *output = std::move(text);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace qm::testing
