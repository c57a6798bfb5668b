#include "cli_archiver.h"

#include <iostream>

#include "command_runner.h"
#include "platform/terminal.h"

namespace qm::qmzip {

void CliArchiver::DoConfirmProcessFile(const std::u16string& file_name,
                                       archive::ProcessOperation operation, bool& confirm) {
  ++found_;
  archive::ZipArchiver::DoConfirmProcessFile(file_name, operation, confirm);
}

void CliArchiver::DoProcessFileFailure(const std::u16string& file_name,
                                       archive::ProcessOperation operation, int native_error,
                                       int error_code, const std::u16string& error_message,
                                       archive::Action& action) {
  ++failures_;
  bar_.Clear();
  std::cerr << "qmzip: " << ToUtf8(file_name) << ": " << ToUtf8(error_message) << '\n';
  archive::ZipArchiver::DoProcessFileFailure(file_name, operation, native_error, error_code,
                                             error_message, action);
}

namespace {

std::unique_ptr<TerminalPrompter> PrompterFor(ProgressBar& bar) {
  if (!platform::IsTerminal(platform::StdStream::kIn)) return nullptr;
  return std::make_unique<TerminalPrompter>([&bar] { bar.Clear(); });
}

}  // namespace

TerminalSession::TerminalSession()
    : bar_(platform::EnableLineRedraw(platform::StdStream::kErr)),
      prompter_(PrompterFor(bar_)),
      installed_(prompter_.get()) {}

void ShowProgress(archive::BaseArchiver& archiver, ProgressBar& bar) {
  archiver.OnOverallProgress = [&bar](archive::BaseArchiver&, double progress,
                                      archive::ProcessOperation, archive::ProgressPhase,
                                      bool&) { bar.SetOverall(progress); };
  archiver.OnFileProgress = [&bar](archive::BaseArchiver&, const std::u16string& name, double,
                                   archive::ProcessOperation, archive::ProgressPhase phase, bool&) {
    if (phase == archive::ProgressPhase::ppStart) bar.SetFile(name);
  };
}

}  // namespace qm::qmzip
