#include "cli_archiver.h"

#include <iostream>

#include "command_runner.h"

namespace qm::qmzip {

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
