// Runs the qmzip program under test, as a user at a terminal would, with no input to answer
// its prompts.
#pragma once

#include <string>

#include "fixture_tools.h"

namespace qm::archive::testing {

inline const std::string kQmzip = QMZIP_PATH;

inline CommandResult Qmzip(const ScratchDir& dir, const std::string& args) {
  return RunShell("'" + kQmzip + "' " + args + " < /dev/null", dir.path());
}

}  // namespace qm::archive::testing
