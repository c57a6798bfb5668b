#include "sfx_command.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "archive/zip_archiver.h"
#include "command_runner.h"
#include "platform/file_attributes.h"
#include "platform/platform.h"

namespace qm::qmzip {
namespace {

bool IsFile(const std::u16string& path) {
  const auto attributes = platform::Platform::Current().GetAttributes(path);
  return attributes != platform::attr::kInvalid && (attributes & platform::attr::kDirectory) == 0;
}

std::u16string FolderPart(const std::u16string& path) {
  const auto slash = path.find_last_of(u"/" + std::u16string(1, platform::kPathSeparator));
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}

struct SfxOptions {
  std::string archive;
  std::string out;
  std::string stub;
};

}  // namespace

std::u16string OwnProgramFile(const char* argv0) {
  const std::u16string named = FromUtf8(argv0 != nullptr ? argv0 : "");
  if (!FolderPart(named).empty() && IsFile(named)) return named;
  return u"/proc/self/exe";
}

void AddSfxCommand(CLI::App& app, int& exit_code, const std::u16string& own_file) {
  auto options = std::make_shared<SfxOptions>();
  CLI::App* sfx = app.add_subcommand("sfx", "Make a self-extracting program of an archive");
  sfx->footer(
      "OUT runs as a program that lists (-l), tests (-t) or extracts the archive into the "
      "folder given with -d, else beside itself. Exit status: 0 when made, 2 when not.");
  sfx->add_option("archive", options->archive, "The archive (not a split set)")->required();
  sfx->add_option("out", options->out, "The self-extractor to write (replaced)")->required();
  sfx->add_option("--stub", options->stub, "Stub program (default: qmzip-sfx beside qmzip)");
  sfx->callback([options, own_file, &exit_code] {
    exit_code = RunCommand([&] {
      archive::ZipArchiver archiver;
      archiver.SetFileName(FromUtf8(options->archive));
      archiver.SetSFXStub(options->stub.empty() ? FolderPart(own_file) + u"qmzip-sfx"
                                                : FromUtf8(options->stub));
      archiver.MakeSFX(FromUtf8(options->out));
      // The result is a program.
      platform::Platform::Current().SetUnixPermissions(FromUtf8(options->out), 0755);
      std::cout << "Made " << options->out << '\n';
      return kExitOk;
    });
  });
}

}  // namespace qm::qmzip
