#pragma once

namespace CLI {
class App;
}

namespace qm::qmzip {

// `qmzip add ARCHIVE PATH...`: adds files and folders, making the archive when it is missing.
void AddAddCommand(CLI::App& app, int& exit_code);

}  // namespace qm::qmzip
