#pragma once

namespace CLI {
class App;
}

namespace qm::qmzip {

// `qmzip extract ARCHIVE [MASK...] [-d DIR] [--overwrite MODE] [--exclude MASK]`.
void AddExtractCommand(CLI::App& app, int& exit_code);
// `qmzip test ARCHIVE [MASK...] [--exclude MASK]`.
void AddTestCommand(CLI::App& app, int& exit_code);

}  // namespace qm::qmzip
