#include "app/win32/win32_prompter.h"

#include <array>
#include <string>

#include "app/win32/main_window_win32.h"
#include "app/win32/resource_ids.h"

namespace qm::app {
namespace {

using archive::PromptButton;
using archive::PromptButtons;

constexpr int kMaxPasswordLength = 255;
constexpr std::array kAnswerIds{IDC_ANSWER1, IDC_ANSWER2, IDC_ANSWER3, IDC_ANSWER4};

struct Answer {
  const wchar_t* label = nullptr;  // null: the slot is hidden
  PromptButton button = PromptButton::kNone;
};
using AnswerRow = std::array<Answer, kAnswerIds.size()>;

AnswerRow AnswersOf(PromptButtons buttons) {
  switch (buttons) {
    case PromptButtons::kYesNoNoToAllYesToAll:
      return {{{L"&Yes", PromptButton::kYes},
               {L"&No", PromptButton::kNo},
               {L"N&o to All", PromptButton::kNoToAll},
               {L"Yes to &All", PromptButton::kYesToAll}}};
    case PromptButtons::kAbortRetryIgnore:
      return {{{L"&Abort", PromptButton::kAbort},
               {L"&Retry", PromptButton::kRetry},
               {L"&Ignore", PromptButton::kIgnore},
               {}}};
    case PromptButtons::kAbortIgnore:
      return {{{L"&Abort", PromptButton::kAbort}, {L"&Ignore", PromptButton::kIgnore}, {}, {}}};
    case PromptButtons::kOkCancel:
      return {{{L"OK", PromptButton::kOk}, {L"Cancel", PromptButton::kCancel}, {}, {}}};
  }
  return {{{L"OK", PromptButton::kOk}, {}, {}, {}}};
}

// The object a dialog was opened with: kept at WM_INITDIALOG, read back for later messages.
template <class T>
T* DialogObject(HWND dialog, UINT message, LPARAM lparam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lparam);
  return reinterpret_cast<T*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

struct Question {
  std::wstring text;
  AnswerRow answers;
};

INT_PTR CALLBACK QuestionProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* question = DialogObject<Question>(dialog, message, lparam);
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowTextW(dialog, ApplicationTitleText());
      SetDlgItemTextW(dialog, IDC_PROMPT, question->text.c_str());
      for (std::size_t i = 0; i < kAnswerIds.size(); ++i) {
        HWND button = GetDlgItem(dialog, kAnswerIds[i]);
        if (question->answers[i].label == nullptr) {
          ShowWindow(button, SW_HIDE);
        } else {
          SetWindowTextW(button, question->answers[i].label);
        }
      }
      return TRUE;
    }
    case WM_COMMAND:
      for (std::size_t i = 0; i < kAnswerIds.size(); ++i) {
        if (LOWORD(wparam) == kAnswerIds[i]) {
          EndDialog(dialog, static_cast<INT_PTR>(i) + 1);
          return TRUE;
        }
      }
      if (LOWORD(wparam) == IDCANCEL) {  // Escape or the close button: no answer
        EndDialog(dialog, 0);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

struct PasswordRequest {
  std::wstring caption;
  std::wstring label;
  std::wstring value;
};

INT_PTR CALLBACK PasswordProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* request = DialogObject<PasswordRequest>(dialog, message, lparam);
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowTextW(dialog, request->caption.c_str());
      SetDlgItemTextW(dialog, IDC_PROMPT, request->label.c_str());
      HWND edit = GetDlgItem(dialog, IDC_VALUE);
      SendMessageW(edit, EM_SETPASSWORDCHAR, L'*', 0);
      SendMessageW(edit, EM_LIMITTEXT, kMaxPasswordLength, 0);
      SetWindowTextW(edit, request->value.c_str());
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        std::array<wchar_t, kMaxPasswordLength + 1> text{};
        GetDlgItemTextW(dialog, IDC_VALUE, text.data(), static_cast<int>(text.size()));
        request->value = text.data();
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

std::wstring Wide(std::u16string_view text) {
  return {text.begin(), text.end()};
}

}  // namespace

PromptButton Win32Prompter::Confirm(std::u16string_view text, PromptButtons buttons) {
  Question question{Wide(text), AnswersOf(buttons)};
  const INT_PTR chosen =
      DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_QUESTION), GetActiveWindow(), QuestionProc,
                      reinterpret_cast<LPARAM>(&question));
  if (chosen < 1 || chosen > static_cast<INT_PTR>(kAnswerIds.size())) return PromptButton::kNone;
  return question.answers[static_cast<std::size_t>(chosen) - 1].button;
}

bool Win32Prompter::AskPassword(std::u16string_view caption, std::u16string_view label,
                                std::u16string& value) {
  PasswordRequest request{Wide(caption), Wide(label), Wide(value)};
  const INT_PTR result =
      DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_PASSWORD), GetActiveWindow(), PasswordProc,
                      reinterpret_cast<LPARAM>(&request));
  if (result != IDOK) return false;
  value.assign(request.value.begin(), request.value.end());
  return true;
}

}  // namespace qm::app
