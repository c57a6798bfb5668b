// The Windows name changer as a user meets it, under Wine on a virtual display: this program
// starts it, finds its window, reads and edits the name, photographs the window and closes it.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "app/client_paths.h"
#include "java_client.h"
#include "label/bitmap32.h"
#include "support/bmp_file.h"
#include "support/shadow_fit.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string Narrow(const std::wstring& text) {
  return {text.begin(), text.end()};
}

constexpr wchar_t kWindowClass[] = L"QuillmarkNameChangerWindow";
constexpr wchar_t kCaption[] = L"QuillMark Name Changer";

struct ProcessHandles {
  PROCESS_INFORMATION info{};
  ~ProcessHandles() {
    if (info.hProcess != nullptr) {
      TerminateProcess(info.hProcess, 1);  // only a failed test leaves it running
      CloseHandle(info.hProcess);
      CloseHandle(info.hThread);
    }
  }
};

HWND WaitForWindow(HANDLE process) {
  for (int i = 0; i < 600; ++i) {
    if (HWND window = FindWindowW(kWindowClass, kCaption);
        window != nullptr && IsWindowVisible(window)) {
      return window;
    }
    if (WaitForSingleObject(process, 100) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

std::wstring WindowText(HWND window) {
  wchar_t text[512] = {};
  SendMessageW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text));
  return text;
}

// The window's client area as the screen shows it.
qm::label::Bitmap32 CaptureClient(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  RECT client{};
  GetClientRect(window, &client);
  qm::label::Bitmap32 bitmap(client.right, client.bottom);
  HDC window_dc = GetDC(window);
  HDC memory = CreateCompatibleDC(window_dc);
  BITMAPINFO info{};
  info.bmiHeader = {
      sizeof(info.bmiHeader), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, client.right, client.bottom, window_dc, 0, 0, SRCCOPY);
  GdiFlush();
  for (int y = 0; y < client.bottom; ++y) {
    std::memcpy(bitmap.Row(y),
                static_cast<std::uint8_t*>(bits) + static_cast<std::size_t>(y) * client.right * 4,
                static_cast<std::size_t>(client.right) * 4);
  }
  SelectObject(memory, previous);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(window, window_dc);
  return bitmap;
}

// The message box the program shows, if any.
HWND FindMessageBox(DWORD process_id) {
  struct Search {
    DWORD process_id;
    HWND box;
  } search{process_id, nullptr};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* search = reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        wchar_t class_name[64] = {};
        GetClassNameW(window, class_name, std::size(class_name));
        if (owner != search->process_id || std::wstring(class_name) != L"#32770") return TRUE;
        search->box = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.box;
}

HWND WaitForMessageBox(const PROCESS_INFORMATION& process) {
  for (int i = 0; i < 300; ++i) {
    if (HWND box = FindMessageBox(process.dwProcessId); box != nullptr && IsWindowVisible(box)) {
      return box;
    }
    if (WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

// Everything a message box says: its controls' texts.
std::wstring BoxText(HWND box) {
  std::wstring text;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    text += WindowText(child) + L" ";
  }
  return text;
}

// What a message box the program shows says: what went wrong on its side.
std::wstring MessageBoxText(DWORD process_id) {
  HWND box = FindMessageBox(process_id);
  return box == nullptr ? std::wstring() : BoxText(box);
}

// Presses the box's OK button and waits until it has gone.
void PressOk(HWND box) {
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  for (int i = 0; i < 100 && IsWindow(box); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

void Start(ProcessHandles& process, const std::wstring& arguments = {}) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  std::wstring command = L"\"" + fs::path(QM_NAME_CHANGER_EXE).wstring() + L"\"" + arguments;
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process.info));
}

// Closes the window and answers the program's exit code.
DWORD CloseAndWait(ProcessHandles& process, HWND window) {
  PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.info.hProcess, 30000) != WAIT_OBJECT_0) {
    ADD_FAILURE() << "the window stayed open: " << Narrow(MessageBoxText(process.info.dwProcessId));
    return STILL_ACTIVE;
  }
  DWORD exit_code = 1;
  GetExitCodeProcess(process.info.hProcess, &exit_code);
  return exit_code;
}

fs::path ClientFolder() {
  const fs::path appdata(qm::app::SpecialFolderPath(qm::app::kAppDataFolderId));
  EXPECT_FALSE(appdata.empty());
  return appdata / ".quillmark";
}

qm::label::ColorComponents SystemColour(int index) {
  const COLORREF colour = GetSysColor(index);
  return {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

TEST(WindowsNameChanger, UnpacksTheClientShowsTheNameAndWritesTheEditedOneOnClose) {
  // The client as the game leaves it: a jar in the user's application-data folder.
  const fs::path client_dir = ClientFolder();
  fs::remove_all(client_dir);
  qm::testing::TempDir work;
  qm::testing::BuildClientJar(work / "quillmark.jar", "Drexo Valmin", 1);
  fs::create_directories(client_dir / "bin");
  fs::copy_file(work / "quillmark.jar", client_dir / "bin" / "quillmark.jar");

  ProcessHandles process;
  ASSERT_NO_FATAL_FAILURE(Start(process));
  HWND window = WaitForWindow(process.info.hProcess);
  ASSERT_NE(window, nullptr) << "the window did not appear; "
                             << Narrow(MessageBoxText(process.info.dwProcessId));

  // First run: the jar has become the folder of its contents, and the name is shown.
  EXPECT_TRUE(fs::is_directory(client_dir / "bin" / "quillmark.jar"));
  EXPECT_FALSE(fs::exists(client_dir / "bin" / "quillmark.zip"));
  HWND edit = FindWindowExW(window, nullptr, L"Edit", nullptr);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(WindowText(edit), L"Drexo Valmin") << Narrow(MessageBoxText(process.info.dwProcessId));

  const qm::label::Bitmap32 shot = CaptureClient(window);
  const fs::path screenshots(QM_SCREENSHOT_DIR);
  qm::testing::WriteBmp(screenshots / "windows-window.bmp", shot);
  // Beside the Linux window's picture when the Linux tests have left one.
  if (fs::exists(QM_LINUX_SCREENSHOT)) {
    qm::testing::WriteBmp(screenshots / "windows-and-linux-windows.bmp",
                          qm::testing::SideBySide(shot, qm::testing::ReadBmp(QM_LINUX_SCREENSHOT)));
  }
  EXPECT_EQ(shot.Width(), 219);
  EXPECT_EQ(shot.Height(), 52);
  // The label's white text, and its shadow one pixel right of and below it.
  const qm::testing::ShadowFit fit = qm::testing::FitShadowOffset(
      shot, qm::testing::PixelsInColour(shot, {255, 255, 255}),
      {72, 35, shot.Width(), shot.Height() + 8}, SystemColour(COLOR_BTNFACE), 4);
  EXPECT_GT(fit.text_pixels, 20);
  EXPECT_EQ(fit.dx, 1);
  EXPECT_EQ(fit.dy, 1);

  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Renamed Player"));
  EXPECT_EQ(CloseAndWait(process, window), 0u);

  // The Linux side's java runs the unpacked applet, which prints the name it now carries.
  EXPECT_EQ(qm::testing::RunApplet(client_dir / "bin" / "quillmark.jar"), "Renamed Player");
}

TEST(WindowsNameChanger, ShowsTheVersionBoxThenTheMissingClientsErrorAndStillOpens) {
  fs::remove_all(ClientFolder());
  ProcessHandles process;
  ASSERT_NO_FATAL_FAILURE(Start(process, L" /AcVer"));

  HWND box = WaitForMessageBox(process.info);
  ASSERT_NE(box, nullptr) << "no version box";
  EXPECT_EQ(WindowText(box), L"quillmark-name-changer");  // the program file's name
  EXPECT_NE(BoxText(box).find(L"Label effects v6.69"), std::wstring::npos) << Narrow(BoxText(box));
  PressOk(box);

  // Nothing to unpack and no class file: the open error, then an empty window all the same.
  box = WaitForMessageBox(process.info);
  ASSERT_NE(box, nullptr) << "no error box";
  EXPECT_NE(BoxText(box).find(L"Cannot open file"), std::wstring::npos) << Narrow(BoxText(box));
  EXPECT_NE(BoxText(box).find(L"QuillmarkApplet.class"), std::wstring::npos);
  PressOk(box);
  HWND window = WaitForWindow(process.info.hProcess);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(WindowText(FindWindowExW(window, nullptr, L"Edit", nullptr)), L"");
  // With no name record there is nothing to write: the window closes.
  EXPECT_EQ(CloseAndWait(process, window), 0u);
}

}  // namespace
