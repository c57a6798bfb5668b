#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archive/prompter.h"
#include "archive/zip_archiver.h"
#include "progress_bar.h"
#include "terminal_prompter.h"

namespace qm::qmzip {

// The component with its failure question reported on the terminal first: whatever the
// answer, the user (or the log of a script) sees which item failed and why.
//
// The password's byte forms (PasswordForms) are each tried before anybody is asked: when one
// fails for an item, the next untried one is offered in its place.
class CliArchiver final : public archive::ZipArchiver {
 public:
  explicit CliArchiver(ProgressBar& bar, std::vector<std::string> password_forms = {});
  // Items that reached the failure event.
  int FailureCount() const { return failures_; }
  // Files and folders that adding found on disk (each is offered for confirmation).
  int FoundCount() const { return found_; }

 protected:
  void DoConfirmProcessFile(const std::u16string& file_name, archive::ProcessOperation operation,
                            bool& confirm) override;
  void DoPassword(const std::u16string& file_name, std::string& new_password,
                  bool& skip_file) override;
  void DoProcessFileFailure(const std::u16string& file_name, archive::ProcessOperation operation,
                            int native_error, int error_code, const std::u16string& error_message,
                            archive::Action& action) override;

 private:
  ProgressBar& bar_;
  int failures_ = 0;
  int found_ = 0;
  std::vector<std::string> password_forms_;
  // The item the engine last asked about, and the forms it has tried on it.
  std::u16string password_item_;
  std::vector<std::string> tried_;
};

// Installs a prompter for the length of a run.
class ScopedPrompter {
 public:
  explicit ScopedPrompter(archive::Prompter* prompter) { archive::InstallPrompter(prompter); }
  ~ScopedPrompter() { archive::InstallPrompter(nullptr); }
  ScopedPrompter(const ScopedPrompter&) = delete;
  ScopedPrompter& operator=(const ScopedPrompter&) = delete;
};

// The terminal side of a run: the progress bar (drawn when standard error is a terminal) and,
// when standard input is one, the prompter that asks there, installed for the run's length.
class TerminalSession {
 public:
  TerminalSession();
  ProgressBar& Bar() { return bar_; }

 private:
  ProgressBar bar_;
  std::unique_ptr<TerminalPrompter> prompter_;
  ScopedPrompter installed_;
};

// Shows the archiver's progress on the bar: the overall percentage and each file as it starts.
void ShowProgress(archive::BaseArchiver& archiver, ProgressBar& bar);

}  // namespace qm::qmzip
