#pragma once

namespace CLI {
class App;
}

namespace qm::qmzip {

// `qmzip list ARCHIVE [MASK...]`: one line per entry and a total line.
void AddListCommand(CLI::App& app, int& exit_code);

}  // namespace qm::qmzip
