#include "app/win32/main_window_win32.h"

#include <stdexcept>

#include "app/startup.h"

namespace qm::app {
namespace {

constexpr wchar_t kWindowClass[] = L"QuillmarkNameChangerWindow";
constexpr wchar_t kCaption[] = L"QuillMark Name Changer";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr int kEdit1Id = 1;

std::u16string& ApplicationTitleStore() {
  static std::u16string title;
  return title;
}

std::u16string TextOf(HWND control) {
  const int length = GetWindowTextLengthW(control);
  std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
  const int copied = GetWindowTextW(control, reinterpret_cast<wchar_t*>(text.data()), length + 1);
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

}  // namespace

void SetApplicationTitle(std::u16string title) {
  ApplicationTitleStore() = std::move(title);
}

const wchar_t* ApplicationTitleText() {
  return reinterpret_cast<const wchar_t*>(ApplicationTitleStore().c_str());
}

void ShowException(std::exception_ptr error, HWND owner) {
  const std::u16string text = ExceptionDisplayText(error);
  MessageBoxW(owner, reinterpret_cast<const wchar_t*>(text.c_str()), ApplicationTitleText(),
              MB_OK | MB_ICONSTOP);
}

Win32MainWindow::Win32MainWindow(HINSTANCE instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClass;
  RegisterClassExW(&window_class);

  {
    HDC screen = GetDC(nullptr);
    dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  RECT frame{0, 0, Scaled(219), Scaled(52)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  window_ = CreateWindowExW(0, kWindowClass, kCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                            instance, this);
  if (window_ == nullptr) throw std::runtime_error("The main window cannot be created.");

  // Tahoma, 11 pixels high at 96 dpi; the system substitutes a face where it is missing.
  font_.reset(CreateFontW(-Scaled(11), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, L"Tahoma"));

  // The label first, then the edit box: the order the window creates its parts in.
  {
    HDC dc = GetDC(window_);
    shadow_label1_.Layout(dc, font_.get(), POINT{Scaled(72), Scaled(35)}, u"DrexoValmin");
    ReleaseDC(window_, dc);
  }
  edit1_ = CreateWindowExW(
      WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
      Scaled(8), Scaled(8), Scaled(201), Scaled(21), window_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEdit1Id)), instance, nullptr);
  SendMessageW(edit1_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
}

Win32MainWindow::~Win32MainWindow() {
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

int Win32MainWindow::Scaled(int pixels) const {
  return MulDiv(pixels, dpi_, 96);
}

void Win32MainWindow::FormCreate() {
  try {
    const std::u16string name = name_changer_.FormCreate();
    SetWindowTextW(edit1_, reinterpret_cast<const wchar_t*>(name.c_str()));
  } catch (...) {
    ShowException(std::current_exception(), nullptr);
  }
}

void Win32MainWindow::ShowCentred() {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  RECT frame{};
  GetWindowRect(window_, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  SetFocus(edit1_);
}

bool Win32MainWindow::FormClose() {
  try {
    name_changer_.FormClose(TextOf(edit1_));
    return true;
  } catch (...) {
    ShowException(std::current_exception(), window_);
    return false;
  }
}

void Win32MainWindow::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  RECT client{};
  GetClientRect(window_, &client);
  // Painted off screen first: the label reads the surface beneath it from there.
  MemoryDc buffer(CreateCompatibleDC(dc));
  BitmapHandle bitmap(CreateCompatibleBitmap(dc, client.right, client.bottom));
  {
    SelectedObject selected(buffer.get(), bitmap.get());
    FillRect(buffer.get(), &client, GetSysColorBrush(COLOR_BTNFACE));
    shadow_label1_.Paint(buffer.get());
    BitBlt(dc, 0, 0, client.right, client.bottom, buffer.get(), 0, 0, SRCCOPY);
  }
  EndPaint(window_, &paint);
}

LRESULT CALLBACK Win32MainWindow::WindowProc(HWND window, UINT message, WPARAM wparam,
                                             LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    auto* self = static_cast<Win32MainWindow*>(create->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  return self->Handle(message, wparam, lparam);
}

LRESULT Win32MainWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT paints everything
    case WM_PAINT:
      Paint();
      return 0;
    case WM_SETFOCUS:
      if (edit1_ != nullptr) SetFocus(edit1_);
      return 0;
    case WM_CLOSE:
      if (FormClose()) DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

}  // namespace qm::app
