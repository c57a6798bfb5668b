#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/startup.h"
#include "app/win32/main_window_win32.h"
#include "app/win32/win32_prompter.h"
#include "archive/prompter.h"

namespace {

std::vector<std::u16string> CommandLineArguments() {
  std::vector<std::u16string> arguments;
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 0; i < count && words != nullptr; ++i) {
    arguments.emplace_back(reinterpret_cast<const char16_t*>(words[i]));
  }
  LocalFree(words);
  return arguments;
}

std::u16string ProgramPath() {
  std::u16string path(MAX_PATH, u'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(path.data()),
                                            static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  qm::app::SetApplicationTitle(qm::app::ApplicationTitle(ProgramPath()));
  if (qm::app::HasVersionSwitch(CommandLineArguments())) {
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(qm::app::kVersionText),
                qm::app::ApplicationTitleText(), MB_OK);
  }

  // The engine's questions during unpacking become the system's dialogs.
  qm::app::Win32Prompter prompter(instance);
  qm::archive::InstallPrompter(&prompter);

  qm::app::Win32MainWindow window(instance);
  window.FormCreate();
  window.ShowCentred();
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window.Handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  qm::archive::InstallPrompter(nullptr);
  return static_cast<int>(message.wParam);
}
