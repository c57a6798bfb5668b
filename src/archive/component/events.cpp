// The event dispatchers. Operations never call a handler directly: a dispatcher calls it when
// one is assigned and otherwise answers itself, through the built-in prompts of the installed
// Prompter where a person has to decide.
#include <algorithm>

#include "archive/archive_error.h"
#include "archive/base_archiver.h"
#include "archive/directory/dir_manager.h"
#include "archive/format_text.h"
#include "archive/names/path_rules.h"
#include "archive/prompt_texts.h"
#include "archive/prompter.h"
#include "archive/volumes/volume_names.h"
#include "platform/file_attributes.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace qm::archive {
namespace {

using platform::kPathSeparator;

// The longest password the prompt's answer is taken as; what is typed beyond it is dropped.
constexpr std::size_t kMaxPasswordLength = 255;

bool FileExists(const std::u16string& path) {
  const auto attributes = platform::Platform::Current().GetAttributes(path);
  return attributes != platform::attr::kInvalid;
}

}  // namespace

void BaseArchiver::DoOverallProgress(double progress, ProcessOperation operation,
                                     ProgressPhase phase, bool& cancel) {
  if (OnOverallProgress) {
    OnOverallProgress(*this, progress, operation, phase, cancel);
  } else {
    cancel = false;
  }
}

void BaseArchiver::DoFileProgress(const std::u16string& file_name, double progress,
                                  ProcessOperation operation, ProgressPhase phase, bool& cancel) {
  if (OnFileProgress) {
    OnFileProgress(*this, ForCallers(file_name), progress, operation, phase, cancel);
  } else {
    cancel = false;
  }
}

void BaseArchiver::DoCopyTempFileProgress(double progress, ProgressPhase phase, bool& cancel) {
  cancel = false;
  if (OnCopyTempFileProgress) OnCopyTempFileProgress(*this, progress, phase, cancel);
}

void BaseArchiver::DoConfirmOverwrite(const std::u16string& source_file_name,
                                      std::u16string& dest_file_name, bool& confirm) {
  if (OnConfirmOverwrite) {
    OnConfirmOverwrite(*this, source_file_name, dest_file_name, confirm);
    return;
  }
  const std::u16string text =
      FormatText(PromptTextOf(PromptText::kOverwriteFile), {dest_file_name, source_file_name});
  const PromptButton answer = CurrentPrompter().Confirm(text, PromptButtons::kYesNoNoToAllYesToAll);
  confirm = false;
  switch (answer) {
    case PromptButton::kYes:
      confirm = true;
      break;
    case PromptButton::kNoToAll:
      // The choice holds for the rest of this operation and for later ones.
      options_.OverwriteMode = OverwriteMode::omNever;
      break;
    case PromptButton::kYesToAll:
      confirm = true;
      options_.OverwriteMode = OverwriteMode::omAlways;
      break;
    default:
      break;
  }
}

bool BaseArchiver::OverwriteAllowed(
    const std::u16string& source_file_name, std::u16string& dest_file_name,
    const std::function<std::strong_ordering()>& incoming_vs_existing) {
  switch (options_.OverwriteMode) {
    case OverwriteMode::omPrompt: {
      bool confirm = false;
      DoConfirmOverwrite(source_file_name, dest_file_name, confirm);
      return confirm;
    }
    case OverwriteMode::omAlways:
      return true;
    case OverwriteMode::omNever:
      return false;
    case OverwriteMode::omIfNewer:
      return incoming_vs_existing() > 0;
    case OverwriteMode::omIfOlder:
      return incoming_vs_existing() < 0;
  }
  return false;
}

void BaseArchiver::DoConfirmProcessFile(const std::u16string& file_name, ProcessOperation operation,
                                        bool& confirm) {
  confirm = true;
  if (OnConfirmProcessFile) OnConfirmProcessFile(*this, file_name, operation, confirm);
}

void BaseArchiver::DoPassword(const std::u16string& file_name, std::string& new_password,
                              bool& skip_file) {
  if (OnPassword) {
    OnPassword(*this, file_name, new_password, skip_file);
    return;
  }
  std::u16string value;
  const bool ok = CurrentPrompter().AskPassword(
      FormatText(PromptTextOf(PromptText::kPasswordCaption), {file_name}),
      PromptTextOf(PromptText::kPasswordLabel), value);
  if (ok) {
    if (value.size() > kMaxPasswordLength) value.resize(kMaxPasswordLength);
    new_password = platform::Utf16ToAnsi(value);
    skip_file = false;
  } else {
    skip_file = true;
  }
}

void BaseArchiver::DoProcessFileFailure(const std::u16string& file_name, ProcessOperation operation,
                                        int native_error, int error_code,
                                        const std::u16string& error_message, Action& action) {
  action = Action::fxaIgnore;
  if (OnProcessFileFailure) {
    OnProcessFileFailure(*this, file_name, operation, native_error, error_code, error_message,
                         action);
    return;
  }
  PromptButton answer = PromptButton::kAbort;
  if (native_error == static_cast<int>(ErrorSite::kVolumeOpenAborted)) {
    // A volume request the user already cancelled: asking again helps nobody.
    action = Action::fxaAbort;
    return;
  }
  if (native_error == static_cast<int>(ErrorSite::kNameTooLong)) {
    answer = CurrentPrompter().Confirm(error_message, PromptButtons::kAbortIgnore);
  } else {
    answer = CurrentPrompter().Confirm(
        FormatText(PromptTextOf(PromptText::kProcessFileFailure), {error_message}),
        PromptButtons::kAbortRetryIgnore);
  }
  switch (answer) {
    case PromptButton::kRetry:
      action = Action::fxaRetry;
      break;
    case PromptButton::kIgnore:
      action = Action::fxaIgnore;
      break;
    default:
      action = Action::fxaAbort;
      break;
  }
}

// The volume requests. Callers pass the archive's name; the dispatchers work out the name of
// the volume asked for.
void BaseArchiver::DoRequestBlankVolume(int volume_number, std::u16string& volume_file_name,
                                        bool& cancel) {
  volume_number = std::max(volume_number, 0);
  volume_file_name = MakeVolumeName(volume_file_name, volume_number, false);
  cancel = false;
  if (OnRequestBlankVolume) {
    OnRequestBlankVolume(*this, volume_number + 1, volume_file_name, cancel);
    return;
  }
  if (spanning_mode_ != SpanningMode::smSpanning) return;
  const auto text =
      FormatText(PromptTextOf(PromptText::kInsertBlankDisk), {std::int64_t{volume_number} + 1});
  cancel = CurrentPrompter().Confirm(text, PromptButtons::kOkCancel) != PromptButton::kOk;
}

void BaseArchiver::DoRequestFirstVolume(std::u16string& volume_file_name, bool& cancel) {
  const std::u16string archive_name = volume_file_name;
  volume_file_name = MakeVolumeName(archive_name, 0, !OnRequestFirstVolume);
  cancel = false;
  if (OnRequestFirstVolume) {
    OnRequestFirstVolume(*this, volume_file_name, cancel);
    return;
  }
  if (spanning_mode_ == SpanningMode::smSpanning) {
    cancel = CurrentPrompter().Confirm(PromptTextOf(PromptText::kInsertFirstDisk),
                                       PromptButtons::kOkCancel) != PromptButton::kOk;
    // Another disk may be in the drive now.
    volume_file_name = MakeVolumeName(archive_name, 0, true);
    return;
  }
  const bool creating = dir_manager_ && dir_manager_->IsCreate();
  cancel = !creating && !FileExists(volume_file_name);
}

void BaseArchiver::DoRequestLastVolume(std::u16string& volume_file_name, bool& cancel) {
  volume_file_name = MakeVolumeName(volume_file_name, kLastVolume, true);
  cancel = false;
  if (OnRequestLastVolume) {
    OnRequestLastVolume(*this, volume_file_name, cancel);
    return;
  }
  if (spanning_mode_ != SpanningMode::smSpanning) {
    cancel = !FileExists(volume_file_name);
    return;
  }
  bool first = true;
  do {
    const std::u16string text =
        first ? std::u16string(PromptTextOf(PromptText::kInsertLastDisk))
              : FormatText(PromptTextOf(PromptText::kFileNotFoundOnDisk), {volume_file_name});
    first = false;
    cancel = CurrentPrompter().Confirm(text, PromptButtons::kOkCancel) != PromptButton::kOk;
  } while (!cancel && !FileExists(volume_file_name));
}

void BaseArchiver::DoRequestMiddleVolume(int volume_number, std::u16string& volume_file_name,
                                         bool& cancel) {
  const std::u16string archive_name = volume_file_name;
  volume_file_name = MakeVolumeName(archive_name, volume_number, !OnRequestMiddleVolume);
  cancel = false;
  if (OnRequestMiddleVolume) {
    OnRequestMiddleVolume(*this, volume_number + 1, volume_file_name, cancel);
    return;
  }
  if (spanning_mode_ == SpanningMode::smSpanning) {
    const auto text =
        FormatText(PromptTextOf(PromptText::kInsertDisk), {std::int64_t{volume_number} + 1});
    cancel = CurrentPrompter().Confirm(text, PromptButtons::kOkCancel) != PromptButton::kOk;
  } else {
    cancel = !FileExists(volume_file_name);
  }
  volume_file_name = MakeVolumeName(archive_name, volume_number, true);
}

// The caller's cancel flag reaches the handler as it is (a checked write passes true): a
// handler must say "go on" to have the write tried again, so one that does not answer cannot
// keep a full disk retrying for ever.
void BaseArchiver::DoDiskFull(int volume_number, const std::u16string& volume_file_name,
                              bool& cancel) {
  if (OnDiskFull) {
    OnDiskFull(*this, volume_number + 1, volume_file_name, cancel);
    return;
  }
  cancel = false;
  if (spanning_mode_ != SpanningMode::smSpanning)
    throw ArchiveError(ErrorSite::kDiskFull, ComponentName());
  const std::int64_t required = spanning_options_.GetVolumeSize(volume_number_info_);
  const auto free = platform::Platform::Current().FreeSpace(volume_file_name);
  const auto text = FormatText(PromptTextOf(PromptText::kDiskFull),
                               {required, static_cast<std::int64_t>(free.value_or(0))});
  cancel = CurrentPrompter().Confirm(text, PromptButtons::kOkCancel) != PromptButton::kOk;
}

void BaseArchiver::DoProcessVolumeFailure(ProcessOperation operation, int volume_number,
                                          const std::u16string& volume_file_name, bool& cancel) {
  if (OnProcessVolumeFailure) {
    OnProcessVolumeFailure(*this, operation, volume_number, volume_file_name, cancel);
  }
}

void BaseArchiver::DoStoreFile(std::u16string& file_name, std::int32_t& file_attr,
                               std::string& comment, const std::u16string& original_file_name) {
  if (!OnStoreFile) return;
  file_name = ForCallers(std::move(file_name));
  OnStoreFile(*this, file_name, file_attr, comment, original_file_name);
  std::replace(file_name.begin(), file_name.end(), kPathSeparator, u'/');
}

void BaseArchiver::DoExtractFile(std::u16string& file_name, std::uint32_t& file_attr,
                                 const std::string& comment) {
  file_name = ForCallers(std::move(file_name));
  if (OnExtractFile) OnExtractFile(*this, file_name, file_attr, comment);
}

}  // namespace qm::archive
