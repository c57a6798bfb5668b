#include "extract_command.h"

#include <CLI/CLI.hpp>
#include <map>
#include <memory>

#include "command_runner.h"
#include "item_run.h"
#include "password_option.h"

namespace qm::qmzip {
namespace {

using archive::OverwriteMode;

struct ExtractOptions {
  ItemRunOptions items;
  std::string directory;
  std::string overwrite = "prompt";
};

OverwriteMode ModeOf(const std::string& name) {
  static const std::map<std::string, OverwriteMode> kModes = {{"always", OverwriteMode::omAlways},
                                                              {"never", OverwriteMode::omNever},
                                                              {"prompt", OverwriteMode::omPrompt},
                                                              {"newer", OverwriteMode::omIfNewer},
                                                              {"older", OverwriteMode::omIfOlder}};
  return kModes.at(name);
}

constexpr const char* kAnswers =
    "On a terminal qmzip asks before overwriting a file, for a password, and what to do when "
    "an item fails. Without one (standard input not a terminal) nobody is asked: existing "
    "files are kept, encrypted items without a working password are skipped, and the first "
    "failed item ends the run. Exit status: 0 when every item was done or passed over, 1 when "
    "an item failed or was skipped, 2 when the archive cannot be used.";

void AddItemArguments(CLI::App* command, ItemRunOptions& items) {
  command->footer(kAnswers);
  command->add_option("archive", items.archive, "The archive file")->required();
  command->add_option("masks", items.masks, "Masks of the items (* and ?; default: all)");
  command->add_option("-x,--exclude", items.exclude, "Masks of items to leave out");
  AddPasswordOption(*command, items.password);
}

}  // namespace

void AddExtractCommand(CLI::App& app, int& exit_code) {
  auto options = std::make_shared<ExtractOptions>();
  CLI::App* extract = app.add_subcommand("extract", "Extract items below a folder");
  AddItemArguments(extract, options->items);
  extract->add_option("-d,--directory", options->directory,
                      "Destination folder (default: the current one); created when missing");
  extract
      ->add_option("--overwrite", options->overwrite,
                   "Existing files: always, never, prompt (default; 'no' when nobody can be "
                   "asked), newer (item newer than the file), older")
      ->check(CLI::IsMember({"always", "never", "prompt", "newer", "older"}));
  extract->callback([options, &exit_code] {
    exit_code = RunCommand([&] {
      return RunItems(
          options->items, "Extracted",
          [&](archive::ZipArchiver& archiver) {
            archiver.Options().OverwriteMode = ModeOf(options->overwrite);
            if (!options->directory.empty()) archiver.SetBaseDir(FromUtf8(options->directory));
          },
          [](archive::ZipArchiver& archiver) { archiver.ExtractFiles(); });
    });
  });
}

void AddTestCommand(CLI::App& app, int& exit_code) {
  auto options = std::make_shared<ItemRunOptions>();
  CLI::App* test = app.add_subcommand("test", "Decode items and check their sizes and CRCs");
  AddItemArguments(test, *options);
  test->callback([options, &exit_code] {
    exit_code = RunCommand([&] {
      return RunItems(
          *options, "Tested", [](archive::ZipArchiver&) {},
          [](archive::ZipArchiver& archiver) { archiver.TestFiles(); });
    });
  });
}

}  // namespace qm::qmzip
