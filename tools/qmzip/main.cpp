// qmzip: the archive engine on the command line. Each command registers itself as a CLI11
// subcommand from its own source file.
#include <CLI/CLI.hpp>

#include "add_command.h"
#include "command_runner.h"
#include "comment_command.h"
#include "extract_command.h"
#include "list_command.h"
#include "maintenance_command.h"
#include "platform/terminal.h"
#include "sfx_command.h"

int main(int argc, char** argv) {
  CLI::App app{"qmzip - ZIP archive tool"};
  app.require_subcommand(1);
  int exit_code = qm::qmzip::kExitOk;
  qm::qmzip::AddListCommand(app, exit_code);
  qm::qmzip::AddExtractCommand(app, exit_code);
  qm::qmzip::AddTestCommand(app, exit_code);
  qm::qmzip::AddDeleteCommand(app, exit_code);
  qm::qmzip::AddRenameCommand(app, exit_code);
  qm::qmzip::AddAttribCommand(app, exit_code);
  qm::qmzip::AddCommentCommand(app, exit_code);
  qm::qmzip::AddRepairCommand(app, exit_code);
  qm::qmzip::AddMergeCommand(app, exit_code);
  qm::qmzip::AddAddCommand(app, exit_code);
  qm::qmzip::AddSfxCommand(app, exit_code);
  std::vector<std::string> arguments = qm::platform::Utf8Arguments(argc, argv);
  if (const auto done = qm::qmzip::ParseCommandLine(app, arguments)) return *done;
  return exit_code;
}
