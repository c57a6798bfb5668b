#pragma once

namespace CLI {
class App;
}

namespace qm::qmzip {

// Commands that change the entries of an archive: delete, rename, attrib; and those
// that make or grow archives from others: repair, merge.
void AddDeleteCommand(CLI::App& app, int& exit_code);
void AddRenameCommand(CLI::App& app, int& exit_code);
void AddAttribCommand(CLI::App& app, int& exit_code);
void AddRepairCommand(CLI::App& app, int& exit_code);
void AddMergeCommand(CLI::App& app, int& exit_code);

}  // namespace qm::qmzip
