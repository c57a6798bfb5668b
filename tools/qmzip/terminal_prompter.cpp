#include "terminal_prompter.h"

#include <iostream>
#include <string>

#include "command_runner.h"
#include "platform/terminal.h"
#include "terminal_text.h"

namespace qm::qmzip {
namespace {

using archive::PromptButton;
using archive::PromptButtons;

constexpr std::size_t kMaxPasswordLength = 255;

const char* ChoicesOf(PromptButtons buttons) {
  switch (buttons) {
    case PromptButtons::kYesNoNoToAllYesToAll:
      return "[y]es, [n]o, [A]ll, [N]one";
    case PromptButtons::kAbortRetryIgnore:
      return "[a]bort, [r]etry, [i]gnore";
    case PromptButtons::kAbortIgnore:
      return "[a]bort, [i]gnore";
    case PromptButtons::kOkCancel:
      return "[o]k, [c]ancel";
  }
  return "";
}

bool Offers(PromptButtons buttons, PromptButton button) {
  switch (buttons) {
    case PromptButtons::kYesNoNoToAllYesToAll:
      return button == PromptButton::kYes || button == PromptButton::kNo ||
             button == PromptButton::kYesToAll || button == PromptButton::kNoToAll;
    case PromptButtons::kAbortRetryIgnore:
      return button == PromptButton::kAbort || button == PromptButton::kRetry ||
             button == PromptButton::kIgnore;
    case PromptButtons::kAbortIgnore:
      return button == PromptButton::kAbort || button == PromptButton::kIgnore;
    case PromptButtons::kOkCancel:
      return button == PromptButton::kOk || button == PromptButton::kCancel;
  }
  return false;
}

std::string Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return std::string(s.substr(first, last - first + 1));
}

}  // namespace

PromptButton ParseAnswer(std::string_view line, PromptButtons buttons) {
  const std::string s = Trim(line);
  PromptButton b = PromptButton::kNone;
  if (s == "y" || s == "Y" || s == "yes")
    b = PromptButton::kYes;
  else if (s == "n" || s == "no")
    b = PromptButton::kNo;
  else if (s == "A" || s == "all")
    b = PromptButton::kYesToAll;
  else if (s == "N" || s == "none")
    b = PromptButton::kNoToAll;
  else if (s == "a" || s == "abort")
    b = PromptButton::kAbort;
  else if (s == "r" || s == "retry")
    b = PromptButton::kRetry;
  else if (s == "i" || s == "ignore")
    b = PromptButton::kIgnore;
  else if (s == "o" || s == "ok")
    b = PromptButton::kOk;
  else if (s == "c" || s == "cancel")
    b = PromptButton::kCancel;
  return Offers(buttons, b) ? b : PromptButton::kNone;
}

PromptButton TerminalPrompter::Confirm(std::u16string_view text, PromptButtons buttons) {
  if (before_asking_) before_asking_();
  for (;;) {
    std::cerr << ForTerminal(std::u16string(text)) << "\n"
              << ChoicesOf(buttons) << "? " << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return PromptButton::kNone;
    const PromptButton answer = ParseAnswer(line, buttons);
    if (answer != PromptButton::kNone) return answer;
  }
}

bool TerminalPrompter::AskPassword(std::u16string_view caption, std::u16string_view label,
                                   std::u16string& value) {
  if (before_asking_) before_asking_();
  std::cerr << ForTerminal(std::u16string(caption)) << "\n"
            << ForTerminal(std::u16string(label)) << std::flush;
  std::string line;
  const bool got = platform::ReadLineWithoutEcho(line);
  std::cerr << "\n";
  if (!got) return false;
  std::u16string typed = FromUtf8(line);
  if (typed.size() > kMaxPasswordLength) typed.resize(kMaxPasswordLength);
  value = std::move(typed);
  return true;
}

}  // namespace qm::qmzip
