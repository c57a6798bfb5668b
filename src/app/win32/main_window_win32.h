#pragma once

#include <windows.h>

#include <exception>
#include <string>

#include "app/name_changer.h"
#include "app/win32/gdi_objects.h"
#include "app/win32/gdi_shadow_label.h"

namespace qm::app {

// The program's one window on Windows: the edit box with the player name and the shadowed
// label, laid out in pixels at 96 dpi and scaled to the screen's resolution. Closing the
// window saves the name; a failure to save keeps it open.
class Win32MainWindow {
 public:
  explicit Win32MainWindow(HINSTANCE instance);
  ~Win32MainWindow();
  Win32MainWindow(const Win32MainWindow&) = delete;
  Win32MainWindow& operator=(const Win32MainWindow&) = delete;

  // Runs the creation handler; a failure is shown and leaves the edit box as it was.
  void FormCreate();
  // Centres the window on the work area, shows it and gives the edit box the focus.
  void ShowCentred();

  HWND Handle() const { return window_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void Paint();
  bool FormClose();
  int Scaled(int pixels) const;

  HWND window_ = nullptr;
  HWND edit1_ = nullptr;
  int dpi_ = 96;
  FontHandle font_;
  GdiShadowLabel shadow_label1_;
  NameChanger name_changer_;
};

// Shows an exception the way the application shows every failure: a message box with the
// application title, a stop icon and the exception's text.
void ShowException(std::exception_ptr error, HWND owner);

// The application title, set once at start-up; message boxes carry it as their caption.
void SetApplicationTitle(std::u16string title);
const wchar_t* ApplicationTitleText();

}  // namespace qm::app
