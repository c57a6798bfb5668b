// What only Windows has: share modes other programs meet too, attributes kept by the file
// system, drive letters, the shell's folders.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "platform/file_attributes.h"
#include "platform/file_mode.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace qm::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteFileBytes;

Platform& os() {
  return Platform::Current();
}

// Another program (cmd.exe) appends a line to `file`. (cmd's exit code does not tell whether
// the redirection succeeded; the file does.)
void AppendFromAnotherProgram(const fs::path& file) {
  std::wstring line = L"cmd.exe /c echo more>>\"" + file.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start cmd.exe";
    return;
  }
  ::WaitForSingleObject(process.hProcess, INFINITE);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
}

TEST(Win32Sharing, OtherProgramsAreHeldBackByTheShareMode) {
  TempDir dir;
  WriteFileBytes(dir / "f", "data");
  std::error_code error;
  {
    auto reader = os().OpenFile(dir.u16("f"), file_mode::kRead | file_mode::kShareDenyWrite, error);
    ASSERT_NE(reader, nullptr) << error.message();
    AppendFromAnotherProgram(dir / "f");
    EXPECT_EQ(testing::ReadFileBytes(dir / "f"), "data");
  }
  auto sharing = os().OpenFile(dir.u16("f"), file_mode::kRead | file_mode::kShareDenyNone, error);
  ASSERT_NE(sharing, nullptr) << error.message();
  AppendFromAnotherProgram(dir / "f");
  EXPECT_NE(testing::ReadFileBytes(dir / "f"), "data");
}

TEST(Win32Attributes, HiddenAndSystemAreKeptByTheFileSystem) {
  TempDir dir;
  WriteFileBytes(dir / "f", "x");
  const std::uint32_t bits = attr::kHidden | attr::kSystem | attr::kArchive;
  ASSERT_FALSE(os().SetAttributes(dir.u16("f"), bits));
  EXPECT_EQ(os().GetAttributes(dir.u16("f")), bits);
  ASSERT_FALSE(os().SetAttributes(dir.u16("f"), 0));
  EXPECT_EQ(os().GetAttributes(dir.u16("f")) & bits & ~attr::kArchive, 0u);
}

TEST(Win32Paths, ExpansionFoldsDotsAndSeparatorsBelowTheDrive) {
  const std::u16string cwd = os().CurrentDirectory();
  struct Case {
    std::u16string in, out;
  };
  const Case cases[] = {
      {u"C:\\a\\b\\..\\c", u"C:\\a\\c"},
      {u"C:/a/./b//c", u"C:\\a\\b\\c"},
      {u"C:\\..\\..", u"C:\\"},
      {u"C:\\a\\b\\", u"C:\\a\\b\\"},
      {u"x", cwd + (cwd.ends_with(u'\\') ? u"" : u"\\") + u"x"},
      {u"", cwd},
  };
  for (const auto& c : cases) EXPECT_EQ(os().ExpandPath(c.in), c.out);
}

TEST(Win32Folders, AppDataIsTheRoamingFolderOfTheShell) {
  const std::u16string folder = os().AppDataFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_FALSE(folder.ends_with(u'\\'));
  EXPECT_TRUE(fs::is_directory(fs::path(folder)));
  EXPECT_TRUE(folder.ends_with(u"\\Roaming") || folder.ends_with(u"\\Application Data"));
}

TEST(Win32Files, TemporaryFilesAreNamedByTheSystem) {
  TempDir dir;
  std::error_code error;
  const fs::path name(os().CreateTempFile(dir.u16(), u"FC", error));
  ASSERT_FALSE(error) << error.message();
  EXPECT_EQ(name.extension(), ".tmp");
  EXPECT_TRUE(name.filename().string().starts_with("FC"));
}

TEST(Win32Drives, TheSystemDriveIsFixed) {
  EXPECT_EQ(os().GetDriveType(u"C:\\windows\\not-there"), DriveType::kFixed);
  EXPECT_EQ(os().GetDriveType(u"C:\\"), DriveType::kFixed);
}

}  // namespace
}  // namespace qm::platform
