#include "archive/prompter.h"

namespace qm::archive {
namespace {
Prompter* installed = nullptr;
}

PromptButton NonInteractivePrompter::Confirm(std::u16string_view, PromptButtons buttons) {
  switch (buttons) {
    case PromptButtons::kYesNoNoToAllYesToAll:
      return PromptButton::kNo;
    case PromptButtons::kAbortRetryIgnore:
    case PromptButtons::kAbortIgnore:
      return PromptButton::kAbort;
    case PromptButtons::kOkCancel:
      return PromptButton::kCancel;
  }
  return PromptButton::kNone;
}

Prompter& CurrentPrompter() {
  static NonInteractivePrompter fallback;
  return installed != nullptr ? *installed : fallback;
}

void InstallPrompter(Prompter* prompter) {
  installed = prompter;
}

}  // namespace qm::archive
