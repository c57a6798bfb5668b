#include "cli_archiver.h"

#include <algorithm>
#include <iostream>

#include "platform/terminal.h"
#include "terminal_text.h"

namespace qm::qmzip {

void CliArchiver::DoConfirmProcessFile(const std::u16string& file_name,
                                       archive::ProcessOperation operation, bool& confirm) {
  ++found_;
  archive::ZipArchiver::DoConfirmProcessFile(file_name, operation, confirm);
}

CliArchiver::CliArchiver(ProgressBar& bar, std::vector<std::string> password_forms)
    : bar_(bar), password_forms_(std::move(password_forms)) {
  if (!password_forms_.empty()) SetPassword(password_forms_.front());
}

void CliArchiver::DoPassword(const std::u16string& file_name, std::string& new_password,
                             bool& skip_file) {
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

void CliArchiver::DoProcessFileFailure(const std::u16string& file_name,
                                       archive::ProcessOperation operation, int native_error,
                                       int error_code, const std::u16string& error_message,
                                       archive::Action& action) {
  ++failures_;
  bar_.Clear();
  std::cerr << "qmzip: " << ForTerminal(file_name) << ": " << ForTerminal(error_message) << '\n';
  // A moved source that stays (changed since it was read, or not deletable) is already in the
  // archive, which is written: the others are still deleted.
  using archive::ErrorSite;
  for (const ErrorSite kept : {ErrorSite::kSourceChanged, ErrorSite::kCannotDeleteSource,
                               ErrorSite::kCannotDeleteFolder}) {
    if (native_error == static_cast<int>(kept)) {
      action = archive::Action::fxaIgnore;
      return;
    }
  }
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
