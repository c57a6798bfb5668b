#include "sfx_command.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "archive/zip_archiver.h"
#include "command_runner.h"
#include "platform/platform.h"
#include "platform/terminal.h"

namespace qm::qmzip {
namespace {

// qmzip-sfx, installed beside this program.
std::u16string DefaultStub() {
  return FolderPart(platform::OwnProgramFile()) + u"qmzip-sfx" + platform::kProgramSuffix;
}

struct SfxOptions {
  std::string archive;
  std::string out;
  std::string stub;
};

}  // namespace

std::u16string FolderPart(const std::u16string& path) {
  const auto slash = path.find_last_of(u"/" + std::u16string(1, platform::kPathSeparator));
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}

void AddSfxCommand(CLI::App& app, int& exit_code) {
  auto options = std::make_shared<SfxOptions>();
  CLI::App* sfx = app.add_subcommand("sfx", "Make a self-extracting program of an archive");
  sfx->footer(
      "OUT runs as a program that lists (-l), tests (-t) or extracts the archive into the "
      "folder given with -d, else beside itself. Exit status: 0 when made, 2 when not.");
  sfx->add_option("archive", options->archive, "The archive (not a split set)")->required();
  sfx->add_option("out", options->out, "The self-extractor to write (replaced)")->required();
  sfx->add_option("--stub", options->stub, "Stub program (default: qmzip-sfx beside qmzip)");
  sfx->callback([options, &exit_code] {
    exit_code = RunCommand([&] {
      archive::ZipArchiver archiver;
      archiver.SetFileName(FromUtf8(options->archive));
      archiver.SetSFXStub(options->stub.empty() ? DefaultStub() : FromUtf8(options->stub));
      archiver.MakeSFX(FromUtf8(options->out));
      // The result is a program.
      platform::Platform::Current().SetUnixPermissions(FromUtf8(options->out), 0755);
      std::cout << "Made " << options->out << '\n';
      return kExitOk;
    });
  });
}

}  // namespace qm::qmzip
