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
  OverwriteMode overwrite = OverwriteMode::omPrompt;
};

void AddItemArguments(CLI::App* command, ItemRunOptions& items) {
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
  const std::map<std::string, OverwriteMode> modes = {{"always", OverwriteMode::omAlways},
                                                      {"never", OverwriteMode::omNever},
                                                      {"prompt", OverwriteMode::omPrompt},
                                                      {"newer", OverwriteMode::omIfNewer},
                                                      {"older", OverwriteMode::omIfOlder}};
  extract
      ->add_option("--overwrite", options->overwrite,
                   "Existing files: always, never, prompt (default; 'no' when nobody can be "
                   "asked), newer (item newer than the file), older")
      ->transform(CLI::CheckedTransformer(modes));
  extract->callback([options, &exit_code] {
    exit_code = RunCommand([&] {
      return RunItems(
          options->items, "Extracted",
          [&](archive::ZipArchiver& archiver) {
            archiver.Options().OverwriteMode = options->overwrite;
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
