#pragma once

#include <string>
#include <string_view>

namespace qm::archive {

// The buttons of the engine's built-in questions.
enum class PromptButton {
  kNone,
  kOk,
  kCancel,
  kYes,
  kNo,
  kYesToAll,
  kNoToAll,
  kAbort,
  kRetry,
  kIgnore
};

// The fixed button sets the engine asks with.
enum class PromptButtons {
  kYesNoNoToAllYesToAll,  // overwrite an existing file?
  kAbortRetryIgnore,      // an item failed
  kAbortIgnore,           // an item failed in a way a retry cannot mend
  kOkCancel,              // insert a disk; the disk is full
};

// How the engine asks its user when no event handler answers. The engine holds no toolkit:
// the desktop program installs a dialog prompter, the command-line tool a terminal one.
class Prompter {
 public:
  virtual ~Prompter() = default;
  // A modal question with the given buttons; answers the one pressed, or kNone when the
  // question was dismissed without an answer.
  virtual PromptButton Confirm(std::u16string_view text, PromptButtons buttons) = 0;
  // Asks for a password of at most 255 characters, shown masked. True with `value` set when
  // confirmed; false, `value` unchanged, when cancelled.
  virtual bool AskPassword(std::u16string_view caption, std::u16string_view label,
                           std::u16string& value) = 0;
};

// The answers of a session nobody can ask: an existing file is not overwritten, an encrypted
// item without a working password is skipped, a failed item aborts the operation, and a disk
// request is cancelled.
class NonInteractivePrompter final : public Prompter {
 public:
  PromptButton Confirm(std::u16string_view text, PromptButtons buttons) override;
  bool AskPassword(std::u16string_view, std::u16string_view, std::u16string&) override {
    return false;
  }
};

// The prompter of the process: the installed one, or a NonInteractivePrompter.
Prompter& CurrentPrompter();
// Installs `prompter` (not owned; nullptr restores the non-interactive answers).
void InstallPrompter(Prompter* prompter);

}  // namespace qm::archive
