#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "archive/prompter.h"

namespace qm::qmzip {

// Asks the engine's questions on the terminal: a line of text with the choices on standard
// error, the answer read from standard input. Installed only when standard input is a
// terminal; otherwise the engine's non-interactive answers apply (overwrite: no; password:
// skip the item; failure: abort).
class TerminalPrompter final : public archive::Prompter {
 public:
  // `before_asking` runs before each question (the progress bar clears its line).
  explicit TerminalPrompter(std::function<void()> before_asking = {})
      : before_asking_(std::move(before_asking)) {}

  archive::PromptButton Confirm(std::u16string_view text, archive::PromptButtons buttons) override;
  bool AskPassword(std::u16string_view caption, std::u16string_view label,
                   std::u16string& value) override;

 private:
  std::function<void()> before_asking_;
};

// The answer a typed line stands for with the given buttons; kNone when it is not one of
// them. "y" yes, "n" no, "A" / "all" yes to all, "N" / "none" no to all, "a" abort,
// "r" retry, "i" ignore, "o" ok, "c" cancel.
archive::PromptButton ParseAnswer(std::string_view line, archive::PromptButtons buttons);

}  // namespace qm::qmzip
