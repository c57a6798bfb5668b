// qmzip-sfx: a self-extracting archive's program. It reads the archive appended to its own
// file and lists, tests or extracts it with qmzip's commands: the same prompts, progress bar,
// safety rules and exit codes.
#include <CLI/CLI.hpp>
#include <iostream>

#include "command_runner.h"
#include "extract_command.h"
#include "list_command.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "sfx_command.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments = qm::platform::Utf8Arguments(argc, argv);
  const std::u16string self = qm::platform::OwnProgramFile();
  if (self.empty()) {
    std::cerr << "qmzip-sfx: cannot find my own program file\n";
    return qm::qmzip::kExitArchiveError;
  }
  const std::string self_utf8 = qm::platform::Utf16ToUtf8(self);

  CLI::App options{"Self-extracting archive"};
  bool list = false;
  bool test = false;
  std::string folder;
  std::string overwrite = "prompt";
  options.add_flag("-l,--list", list, "List the items");
  options.add_flag("-t,--test", test, "Test the items");
  options.add_option("-d,--directory", folder, "Extract into this folder (default: beside me)");
  options.add_option("--overwrite", overwrite,
                     "Existing files: always, never, prompt, newer, older");
  if (const auto done = qm::qmzip::ParseCommandLine(options, arguments)) return *done;
  if (folder.empty()) folder = qm::platform::Utf16ToUtf8(qm::qmzip::FolderPart(self));

  // The commands of qmzip, run on this very file.
  std::vector<std::string> command = {arguments.empty() ? "qmzip-sfx" : arguments[0]};
  if (list) {
    command.insert(command.end(), {"list", self_utf8});
  } else if (test) {
    command.insert(command.end(), {"test", self_utf8});
  } else {
    command.insert(command.end(), {"extract", self_utf8, "-d", folder, "--overwrite", overwrite});
  }
  CLI::App app{"qmzip-sfx"};
  app.require_subcommand(1);
  int exit_code = qm::qmzip::kExitOk;
  qm::qmzip::AddListCommand(app, exit_code);
  qm::qmzip::AddExtractCommand(app, exit_code);
  qm::qmzip::AddTestCommand(app, exit_code);
  if (const auto done = qm::qmzip::ParseCommandLine(app, command)) return *done;
  return exit_code;
}
