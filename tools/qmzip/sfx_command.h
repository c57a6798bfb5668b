#pragma once

#include <string>

namespace CLI {
class App;
}

namespace qm::qmzip {

// The file this program runs from, as `argv0` names it (a name without a folder is looked
// up where the system keeps the running program).
std::u16string OwnProgramFile(const char* argv0);

// `qmzip sfx ARCHIVE OUT [--stub FILE]`: OUT becomes the self-extractor stub (qmzip-sfx beside
// qmzip unless --stub names another) followed by ARCHIVE.
void AddSfxCommand(CLI::App& app, int& exit_code, const std::u16string& own_file);

}  // namespace qm::qmzip
