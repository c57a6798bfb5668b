// What only POSIX has: time zones from TZ, the home folder from HOME, attributes mapped onto
// permission bits and dot names, paths without drives, volumes that cannot be labelled, FIFOs and
// devices.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "platform/dos_time.h"
#include "platform/file_attributes.h"
#include "platform/file_mode.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace qm::platform {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteFileBytes;

Platform& os() {
  return Platform::Current();
}

class DosTimeInZone : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) saved_ = tz;
    setenv("TZ", GetParam(), 1);
    tzset();
  }
  void TearDown() override {
    if (saved_.empty()) {
      unsetenv("TZ");
    } else {
      setenv("TZ", saved_.c_str(), 1);
    }
    tzset();
  }
  std::string saved_;
};

TEST_P(DosTimeInZone, LocalTimesRoundTripAtTwoSecondResolution) {
  const DosDateTime moments[] = {
      {1980, 1, 1, 0, 0, 0},   {1999, 12, 31, 23, 59, 58}, {2024, 2, 29, 12, 30, 44},
      {2038, 1, 19, 3, 14, 6}, {2099, 7, 4, 8, 0, 2},
  };
  for (const auto& m : moments) {
    const std::uint32_t packed = PackDosDateTime(m);
    const auto unix_time = DosDateTimeToUnixTime(packed);
    ASSERT_TRUE(unix_time.has_value()) << m.year;
    EXPECT_EQ(UnixTimeToDosDateTime(*unix_time), packed) << m.year;
  }
}

INSTANTIATE_TEST_SUITE_P(Zones, DosTimeInZone,
                         ::testing::Values("UTC0", "CET-1CEST,M3.5.0,M10.5.0/3",
                                           "EST5EDT,M3.2.0,M11.1.0"));

TEST(DosTime, OddSecondsRoundDownAndOutOfRangeClamps) {
  setenv("TZ", "UTC0", 1);
  tzset();
  EXPECT_EQ(UnixTimeToDosDateTime(1700000001), UnixTimeToDosDateTime(1700000000));
  EXPECT_EQ(UnixTimeToDosDateTime(0), PackDosDateTime({1980, 1, 1, 0, 0, 0}));
  unsetenv("TZ");
  tzset();
}

TEST(DosTime, TheSameValueIsConvertedAgainInAnotherZone) {
  const std::uint32_t packed = PackDosDateTime({2024, 7, 14, 9, 5, 0});
  setenv("TZ", "UTC0", 1);
  tzset();
  const auto in_utc = DosDateTimeToUnixTime(packed);
  setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
  tzset();
  const auto in_new_york = DosDateTimeToUnixTime(packed);
  unsetenv("TZ");
  tzset();
  ASSERT_TRUE(in_utc && in_new_york);
  EXPECT_EQ(*in_new_york - *in_utc, 4 * 3600);  // daylight saving time in July
}

TEST(PosixCodePages, OemCharactersMissingFromAnsiBecomeQuestionMarks) {
  // Windows maps some of them to a look-alike ("best fit"); the emulation does not guess.
  EXPECT_EQ(OemToAnsi("\x82t\xE9"), "\xE9t?");  // 0xE9 in 437 is capital theta, not in 1252
}

TEST(PosixAttributes, DotNamesAreHiddenAndReadOnlyIsTheOwnersWriteBit) {
  TempDir dir;
  WriteFileBytes(dir / ".hidden", "x");
  EXPECT_EQ(os().GetAttributes(dir.u16(".hidden")), attr::kArchive | attr::kHidden);
  WriteFileBytes(dir / "f", "x");
  ASSERT_FALSE(os().SetAttributes(dir.u16("f"), attr::kReadOnly | attr::kArchive));
  EXPECT_EQ(fs::status(dir / "f").permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST(Paths, ExpansionIsLexicalAndAnchoredAtTheCurrentDirectory) {
  const std::u16string cwd = os().CurrentDirectory();
  struct Case {
    std::u16string in, out;
  };
  const Case cases[] = {
      {u"/a/b/../c", u"/a/c"}, {u"/a/./b//c", u"/a/b/c"}, {u"/../..", u"/"},
      {u"/a/b/", u"/a/b/"},    {u"x", cwd + u"/x"},       {u"", cwd},
  };
  for (const auto& c : cases) EXPECT_EQ(os().ExpandPath(c.in), c.out);
}

TEST(Drives, VolumesCannotBeLabelled) {
  TempDir dir;
  EXPECT_TRUE(os().SetVolumeLabel(dir.u16(), u"pkback# 001"));
}

TEST(Folders, AppDataIsTheHomeDirectoryWithoutTrailingSeparator) {
  const char* saved = std::getenv("HOME");
  const std::string previous = saved ? saved : "";
  setenv("HOME", "/srv/player/", 1);
  EXPECT_EQ(os().AppDataFolder(), u"/srv/player");
  setenv("HOME", previous.c_str(), 1);
}

// What is not a regular file is refused at once, and the error says what it is; a FIFO must
// not block the open waiting for a writer.
TEST(Files, OddFilesAreRefusedAtOnceWithWhatTheyAre) {
  TempDir dir;
  fs::create_directory(dir / "folder");
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  struct Case {
    const char* name;
    std::uint16_t mode;
    const char* says;
  };
  const Case cases[] = {
      {"pipe", file_mode::kRead, "FIFO"},
      {"pipe", file_mode::kReadWrite, "FIFO"},
      {"pipe", file_mode::kCreate, "FIFO"},
      {"folder", file_mode::kRead, "folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " mode " + std::to_string(c.mode));
    std::error_code error;
    EXPECT_EQ(os().OpenFile(dir.u16(c.name), c.mode, error), nullptr);
    EXPECT_NE(error.message().find(c.says), std::string::npos) << error.message();
  }
  std::error_code error;
  EXPECT_EQ(os().OpenFile(u"/dev/null", file_mode::kRead, error), nullptr);
  EXPECT_NE(error.message().find("character device"), std::string::npos) << error.message();
}

// Files made through an open folder: unique temporary names with the prefix, time and mode set
// on the open file, a rename that replaces a link instead of writing through it, and removal of
// a temporary file its attributes made read-only.
TEST(FolderFiles, TemporaryFilesAreNamedDatedAndRenamedOverALinkWithinTheFolder) {
  TempDir dir;
  WriteFileBytes(dir / "outside.txt", "keep");
  fs::create_symlink(dir / "outside.txt", dir / "dest.txt");
  std::error_code error;
  const auto folder = os().OpenFolder(dir.u16() + u"/", error);
  ASSERT_NE(folder, nullptr) << error.message();
  std::u16string first, second;
  auto file = os().CreateTempFileIn(*folder, u".qmx", first, error);
  ASSERT_NE(file, nullptr) << error.message();
  auto other = os().CreateTempFileIn(*folder, u".qmx", second, error);
  ASSERT_NE(other, nullptr) << error.message();
  EXPECT_NE(first, second);
  EXPECT_TRUE(first.starts_with(u".qmx") && first.size() == 10) << Utf16ToUtf8(first);

  ASSERT_EQ(file->Write("new", 3, error), 3u);
  EXPECT_FALSE(file->SetLastWriteUnixTime(1'000'000'000));
  EXPECT_FALSE(file->SetAttributes(attr::kReadOnly, 0640));  // the permission bits decide
  file.reset();
  EXPECT_FALSE(os().ReplaceFileIn(*folder, first, u"dest.txt"));
  struct stat st {};
  ASSERT_EQ(::lstat((dir / "dest.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_mtime, 1'000'000'000);
  EXPECT_EQ(testing::ReadFileBytes(dir / "dest.txt"), "new");
  EXPECT_EQ(testing::ReadFileBytes(dir / "outside.txt"), "keep");

  EXPECT_FALSE(other->SetAttributes(attr::kReadOnly, std::nullopt));
  other.reset();
  ASSERT_EQ(::stat((dir / Utf16ToUtf8(second)).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);
  EXPECT_FALSE(os().DeleteFileIn(*folder, second));
  EXPECT_FALSE(fs::exists(dir / Utf16ToUtf8(second)));
}

// Files left beside an archive are the user's alone and are never made through a link: an
// attacker's link at the name must not redirect the write to the link's target.
TEST(PosixPrivateFiles, AreOwnerOnlyExclusiveAndNeverFollowLinks) {
  TempDir dir;
  const auto saved_mask = ::umask(0);  // the widest mask a user could have set
  std::error_code error;
  auto file = os().CreatePrivateFile(dir.u16("tail"), error);
  ::umask(saved_mask);
  ASSERT_NE(file, nullptr) << error.message();
  struct stat st {};
  ASSERT_EQ(::stat((dir / "tail").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  EXPECT_EQ(os().CreatePrivateFile(dir.u16("tail"), error), nullptr);
  EXPECT_EQ(error, std::errc::file_exists);

  WriteFileBytes(dir / "target", "precious");
  fs::create_symlink(dir / "target", dir / "link");
  fs::create_symlink(dir / "nowhere", dir / "dangling");
  for (const char* name : {"link", "dangling"}) {
    EXPECT_EQ(os().CreatePrivateFile(dir.u16(name), error), nullptr) << name;
    EXPECT_TRUE(error) << name;
  }
  EXPECT_EQ(testing::ReadFileBytes(dir / "target"), "precious");
  EXPECT_FALSE(fs::exists(dir / "nowhere"));
}

// The same file is told by identity, whatever the spelling or the links in between; a link
// asked about without following is seen as one.
TEST(PosixFileStatus, TellsTheSameFileByIdentity) {
  TempDir dir;
  WriteFileBytes(dir / "a.zip", "12345");
  fs::create_hard_link(dir / "a.zip", dir / "hard.zip");
  fs::create_symlink(dir / "a.zip", dir / "soft.zip");
  WriteFileBytes(dir / "b.zip", "12345");

  const auto a = os().GetFileStatus(dir.u16("a.zip"), true);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->size, 5u);
  EXPECT_EQ(a->hard_links, 2u);
  EXPECT_EQ(a->owner, ::getuid());
  for (const char* name : {"hard.zip", "soft.zip", "./a.zip"}) {
    const auto other = os().GetFileStatus(dir.u16(name), true);
    ASSERT_TRUE(other) << name;
    EXPECT_TRUE(a->SameFile(*other)) << name;
  }
  EXPECT_FALSE(a->SameFile(*os().GetFileStatus(dir.u16("b.zip"), true)));
  const auto link = os().GetFileStatus(dir.u16("soft.zip"), false);
  ASSERT_TRUE(link);
  EXPECT_TRUE(link->symbolic_link);
  EXPECT_FALSE(a->SameFile(*link));
  EXPECT_FALSE(os().GetFileStatus(dir.u16("missing"), true));

  std::error_code error;
  auto open = os().OpenFile(dir.u16("soft.zip"), file_mode::kRead, error);
  ASSERT_NE(open, nullptr);
  const auto through = open->Status();
  ASSERT_TRUE(through);
  EXPECT_TRUE(a->SameFile(*through));
}

}  // namespace
}  // namespace qm::platform
