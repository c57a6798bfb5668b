#pragma once

#include <windows.h>

#include "archive/prompter.h"

namespace qm::app {

// The engine's questions as modal Win32 dialogs from the program's resources.
class Win32Prompter final : public archive::Prompter {
 public:
  explicit Win32Prompter(HINSTANCE instance) : instance_(instance) {}
  archive::PromptButton Confirm(std::u16string_view text, archive::PromptButtons buttons) override;
  bool AskPassword(std::u16string_view caption, std::u16string_view label,
                   std::u16string& value) override;

 private:
  HINSTANCE instance_;
};

}  // namespace qm::app
