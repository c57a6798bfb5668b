#pragma once

#include <string>

namespace qm::platform {

// The standard streams of the process, for command-line tools that talk to a person when one
// is there and stay quiet in scripts.
enum class StdStream { kIn, kOut, kErr };

bool IsTerminal(StdStream stream);

// Reads one line from standard input without echoing it (for passwords); the line ends are
// dropped. False at end of input.
bool ReadLineWithoutEcho(std::string& line);

}  // namespace qm::platform
