#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "platform/file_attributes.h"
#include "platform/platform.h"
#include "platform/temp_file_guard.h"
#include "support/temp_dir.h"

namespace qm::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteFileBytes;

Platform& os() {
  return Platform::Current();
}

TEST(Attributes, ReflectTypeAndExistence) {
  TempDir dir;
  WriteFileBytes(dir / "plain.txt", "x");
  fs::create_directory(dir / "folder");
  EXPECT_EQ(os().GetAttributes(dir.u16("plain.txt")), attr::kArchive);
  EXPECT_EQ(os().GetAttributes(dir.u16("folder")), attr::kDirectory);
  EXPECT_EQ(os().GetAttributes(dir.u16("missing")), attr::kInvalid);
}

TEST(Attributes, ReadOnlyIsSetAndCleared) {
  TempDir dir;
  WriteFileBytes(dir / "f", "x");
  ASSERT_FALSE(os().SetAttributes(dir.u16("f"), attr::kReadOnly | attr::kArchive));
  EXPECT_EQ(os().GetAttributes(dir.u16("f")), attr::kReadOnly | attr::kArchive);
  ASSERT_FALSE(os().SetAttributes(dir.u16("f"), attr::kArchive));
  EXPECT_EQ(os().GetAttributes(dir.u16("f")), attr::kArchive);
}

TEST(Files, ReadOnlyFilesRefuseWritingAndDeletionEvenForRoot) {
  TempDir dir;
  WriteFileBytes(dir / "f", "x");
  ASSERT_FALSE(os().SetAttributes(dir.u16("f"), attr::kReadOnly));
  std::error_code error;
  EXPECT_EQ(os().OpenFile(dir.u16("f"), 0x0002, error), nullptr);
  EXPECT_TRUE(error);
  EXPECT_NE(os().OpenFile(dir.u16("f"), 0x0040, error), nullptr);
  EXPECT_TRUE(os().DeleteFile(dir.u16("f")));
  EXPECT_TRUE(fs::exists(dir / "f"));
}

// How a rewritten archive takes the place of the one still open: the old handle keeps the old
// content, the new one follows its file, and nothing is left beside it once both are closed.
TEST(Files, ReplaceWorksWhileBothFilesAreOpen) {
  TempDir dir;
  WriteFileBytes(dir / "old", "old content");
  WriteFileBytes(dir / "new", "new content");
  std::error_code error;
  auto old_file = os().OpenFile(dir.u16("old"), 0x0022, error);  // read-write, deny write
  ASSERT_NE(old_file, nullptr) << error.message();
  auto new_file = os().OpenFile(dir.u16("new"), 0x0022, error);
  ASSERT_NE(new_file, nullptr) << error.message();
  ASSERT_FALSE(os().ReplaceFile(dir.u16("new"), dir.u16("old")));
  EXPECT_FALSE(fs::exists(dir / "new"));
  std::string seen(11, '\0');
  old_file->Seek(0, File::Origin::kBegin, error);
  EXPECT_EQ(old_file->Read(seen.data(), seen.size(), error), seen.size());
  EXPECT_EQ(seen, "old content");
  new_file->Seek(0, File::Origin::kBegin, error);
  EXPECT_EQ(new_file->Write("NEW", 3, error), 3u);
  new_file.reset();
  old_file.reset();
  EXPECT_EQ(testing::ReadFileBytes(dir / "old"), "NEW content");
  std::vector<std::u16string> names;
  for (const auto& entry : os().ListDirectory(dir.u16(), 0, error)) names.push_back(entry.name);
  EXPECT_EQ(names, std::vector<std::u16string>{u"old"});
}

TEST(Files, MoveRefusesAnExistingTargetAndCopyKeepsTheTime) {
  TempDir dir;
  WriteFileBytes(dir / "a", "first");
  WriteFileBytes(dir / "b", "second");
  EXPECT_TRUE(os().MoveFile(dir.u16("a"), dir.u16("b")));
  EXPECT_FALSE(os().MoveFile(dir.u16("a"), dir.u16("c")));
  EXPECT_FALSE(fs::exists(dir / "a"));

  EXPECT_TRUE(os().CopyFile(dir.u16("c"), dir.u16("b"), true));
  ASSERT_FALSE(os().SetLastWriteDosTime(dir.u16("c"), 0x50210000));  // 2020-01-01
  ASSERT_FALSE(os().CopyFile(dir.u16("c"), dir.u16("b"), false));
  EXPECT_EQ(testing::ReadFileBytes(dir / "b"), "first");
  EXPECT_EQ(os().GetLastWriteDosTime(dir.u16("b")), 0x50210000u);
}

TEST(Files, TemporaryFilesCarryThePrefixAndAreUnique) {
  TempDir dir;
  std::error_code error;
  const std::u16string first = os().CreateTempFile(dir.u16(), u"FC", error);
  const std::u16string second = os().CreateTempFile(dir.u16(), u"FC", error);
  ASSERT_FALSE(error);
  EXPECT_NE(first, second);
  for (const auto& name : {first, second}) {
    const fs::path path(name);
    EXPECT_EQ(path.parent_path(), dir.path());
    EXPECT_TRUE(path.filename().string().starts_with("FC"));
    EXPECT_TRUE(fs::exists(path));
  }
  EXPECT_TRUE(os().TempDirectory().ends_with(kPathSeparator));
}

TEST(Files, TemporaryFileGoesWithItsGuardUnlessReleased) {
  TempDir dir;
  std::error_code error;
  const std::u16string dropped = os().CreateTempFile(dir.u16(), u"FC", error);
  const std::u16string kept = os().CreateTempFile(dir.u16(), u"FC", error);
  ASSERT_FALSE(error);
  try {
    TempFileGuard guard(dropped);
    throw std::runtime_error("write failed");
  } catch (const std::runtime_error&) {
  }
  {
    TempFileGuard guard(kept);
    guard.Release();
  }
  EXPECT_FALSE(fs::exists(fs::path(dropped)));
  EXPECT_TRUE(fs::exists(fs::path(kept)));
}

TEST(Folders, CreatedWithParentsAndRemovedOnlyWhenEmpty) {
  TempDir dir;
  EXPECT_FALSE(os().CreateDirectories(dir.u16("a/b/c")));
  EXPECT_FALSE(os().CreateDirectories(dir.u16("a/b/c")));
  EXPECT_TRUE(fs::is_directory(dir / "a/b/c"));
  EXPECT_FALSE(os().CreateDirectories(dir.u16("a/x/y/")));  // two missing, trailing separator
  EXPECT_TRUE(fs::is_directory(dir / "a/x/y"));
  WriteFileBytes(dir / "file", "x");
  EXPECT_TRUE(os().CreateDirectories(dir.u16("file/sub")));
  EXPECT_TRUE(os().CreateDirectories(dir.u16("file/sub/deeper")));
  EXPECT_TRUE(os().CreateDirectories(dir.u16("file")));  // a file stands there
  EXPECT_TRUE(os().RemoveEmptyDirectory(dir.u16("a/b")));
  EXPECT_FALSE(os().RemoveEmptyDirectory(dir.u16("a/b/c")));
  EXPECT_FALSE(fs::exists(dir / "a/b/c"));
}

TEST(Folders, ListingHidesEntriesWhoseSpecialBitsTheFilterLacks) {
  TempDir dir;
  WriteFileBytes(dir / "plain", "abc");
  WriteFileBytes(dir / ".dot", "x");
  // Hidden by its name on POSIX, by its attribute on Windows.
  ASSERT_FALSE(os().SetAttributes(dir.u16(".dot"), attr::kHidden | attr::kArchive));
  fs::create_directory(dir / "sub");
  auto names = [&](std::uint32_t filter) {
    std::error_code error;
    std::vector<std::u16string> out;
    for (const auto& entry : os().ListDirectory(dir.u16(), filter, error))
      out.push_back(entry.name);
    std::sort(out.begin(), out.end());
    return out;
  };
  EXPECT_EQ(names(0), (std::vector<std::u16string>{u"plain"}));
  EXPECT_EQ(names(attr::kDirectory), (std::vector<std::u16string>{u"plain", u"sub"}));
  EXPECT_EQ(names(0x28BF), (std::vector<std::u16string>{u".dot", u"plain", u"sub"}));
  std::error_code error;
  EXPECT_EQ(os().ListDirectory(dir.u16("plain"), 0, error).size(), 0u);
  EXPECT_TRUE(error);
}

TEST(Drives, LocalFoldersAreNotRemovableAndHaveFreeSpace) {
  TempDir dir;
  const DriveType type = os().GetDriveType(dir.u16("not/yet/there"));
  EXPECT_NE(type, DriveType::kRemovable);
  EXPECT_NE(type, DriveType::kNoRootDir);
  EXPECT_GT(os().FreeSpace(dir.u16()).value_or(0), 0u);
}

}  // namespace
}  // namespace qm::platform
