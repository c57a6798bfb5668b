#include "item_run.h"

#include <algorithm>
#include <iostream>
#include <memory>

#include "archive/prompter.h"
#include "command_runner.h"
#include "password_option.h"
#include "platform/file_mode.h"
#include "platform/terminal.h"
#include "progress_bar.h"
#include "terminal_prompter.h"
#include "terminal_text.h"

namespace qm::qmzip {
namespace {

// The component with its failure question reported on the terminal first: whatever the
// answer, the user (or the log of a script) sees which item failed and why.
//
// The password's byte forms (PasswordForms) are each tried before anybody is asked: when one
// fails for an item, the next untried one is offered in its place.
class CliArchiver final : public archive::ZipArchiver {
 public:
  CliArchiver(ProgressBar& bar, std::vector<std::string> password_forms)
      : bar_(bar), password_forms_(std::move(password_forms)) {
    if (!password_forms_.empty()) SetPassword(password_forms_.front());
  }

 protected:
  void DoPassword(const std::u16string& file_name, std::string& new_password,
                  bool& skip_file) override {
    if (file_name != password_item_) {
      password_item_ = file_name;
      tried_.clear();
    }
    tried_.push_back(new_password);
    for (const std::string& form : password_forms_) {
      if (std::find(tried_.begin(), tried_.end(), form) == tried_.end()) {
        new_password = form;
        skip_file = false;
        return;
      }
    }
    archive::ZipArchiver::DoPassword(file_name, new_password, skip_file);
  }

  void DoProcessFileFailure(const std::u16string& file_name, archive::ProcessOperation operation,
                            int native_error, int error_code, const std::u16string& error_message,
                            archive::Action& action) override {
    bar_.Clear();
    std::cerr << "qmzip: " << ForTerminal(file_name) << ": " << ForTerminal(error_message) << '\n';
    archive::ZipArchiver::DoProcessFileFailure(file_name, operation, native_error, error_code,
                                               error_message, action);
  }

 private:
  ProgressBar& bar_;
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

}  // namespace

int RunItems(const ItemRunOptions& options, const std::string& verb,
             const std::function<void(archive::ZipArchiver&)>& configure,
             const std::function<void(archive::ZipArchiver&)>& operation) {
  ProgressBar bar(platform::IsTerminal(platform::StdStream::kErr));
  std::unique_ptr<TerminalPrompter> terminal;
  if (platform::IsTerminal(platform::StdStream::kIn)) {
    terminal = std::make_unique<TerminalPrompter>([&bar] { bar.Clear(); });
  }
  ScopedPrompter installed(terminal.get());

  CliArchiver archiver(bar, PasswordForms(options.password));
  archiver.SetFileName(FromUtf8(options.archive));
  archiver.SetOpenCorruptedArchives(false);
  std::vector<std::u16string> masks;
  for (const auto& m : options.masks) masks.push_back(FromUtf8(m));
  if (masks.empty()) masks.push_back(u"*.*");
  archiver.SetFileMasks(std::move(masks));
  std::vector<std::u16string> exclusions;
  for (const auto& m : options.exclude) exclusions.push_back(FromUtf8(m));
  archiver.SetExclusionMasks(std::move(exclusions));
  archiver.OnOverallProgress = [&bar](archive::BaseArchiver&, double progress,
                                      archive::ProcessOperation, archive::ProgressPhase,
                                      bool&) { bar.SetOverall(progress); };
  archiver.OnFileProgress = [&bar](archive::BaseArchiver&, const std::u16string& name, double,
                                   archive::ProcessOperation, archive::ProgressPhase phase, bool&) {
    if (phase == archive::ProgressPhase::ppStart) bar.SetFile(name);
  };
  configure(archiver);
  archiver.OpenArchive(platform::file_mode::kRead | platform::file_mode::kShareDenyNone);
  operation(archiver);
  bar.Clear();

  const int done = archiver.ProcessedFileCount() - archiver.IncompleteFileCount();
  const int kept = archiver.KeptFileCount();
  const int failed = archiver.IncompleteFileCount() - kept;
  std::cout << verb << ' ' << done << " of " << archiver.ProcessedFileCount() << " items";
  if (kept > 0) std::cout << "; " << kept << " passed over";
  if (failed > 0) std::cout << "; " << failed << " failed or skipped";
  if (archiver.ProgressCancelled()) std::cout << " (cancelled)";
  std::cout << '\n' << std::flush;
  return failed == 0 && !archiver.ProgressCancelled() ? kExitOk : kExitItemsIncomplete;
}

}  // namespace qm::qmzip
