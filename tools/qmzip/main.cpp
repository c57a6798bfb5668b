// qmzip: the archive engine on the command line. Each command registers itself as a CLI11
// subcommand from its own source file.
#include <CLI/CLI.hpp>

#include "command_runner.h"
#include "comment_command.h"
#include "extract_command.h"
#include "list_command.h"

int main(int argc, char** argv) {
  CLI::App app{"qmzip - ZIP archive tool"};
  app.require_subcommand(1);
  int exit_code = qm::qmzip::kExitOk;
  qm::qmzip::AddListCommand(app, exit_code);
  qm::qmzip::AddExtractCommand(app, exit_code);
  qm::qmzip::AddTestCommand(app, exit_code);
  qm::qmzip::AddCommentCommand(app, exit_code);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help ends with 0; a command line that cannot be used ends like an archive that cannot
    // be, with 2, never with one of CLI11's own numbers.
    return app.exit(e) == 0 ? qm::qmzip::kExitOk : qm::qmzip::kExitUsage;
  }
  return exit_code;
}
