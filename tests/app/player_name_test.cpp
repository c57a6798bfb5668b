#include "app/player_name.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "java_client.h"
#include "platform/platform.h"
#include "platform/platform_wrapper.h"
#include "platform/stream_errors.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace qm::app {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

// A constant-pool entry pair: the marker, then the name entry (tag 1, big-endian length).
std::string Record(const std::string& name, int high_byte = 0) {
  return std::string(kNameMarker) + '\x01' + static_cast<char>(high_byte) +
         static_cast<char>(name.size()) + name;
}

TEST(ReadPlayerName, FindsTheLastCompleteRecord) {
  struct Case {
    const char* what;
    std::string file;
    std::u16string name;
    std::int32_t offset;
    std::uint8_t length;
  };
  const std::string head = "\xCA\xFE\xBA\xBE pool ";
  const Case cases[] = {
      {"no marker", "\xCA\xFE\xBA\xBE nothing here", u"", 0, 0},
      {"empty file", "", u"", 0, 0},
      {"one record", head + Record("Drexo") + "tail", u"Drexo", 34, 5},
      {"last of two wins", Record("first") + Record("second") + "x", u"second", 29 + 24, 6},
      {"empty name", head + Record("") + "tail", u"", 34, 0},
      {"marker cut off at the end", head + std::string(kNameMarker).substr(0, 20), u"", 0, 0},
      {"length byte beyond the end", head + std::string(kNameMarker) + "\x01\x00", u"", 0, 0},
      {"name runs past the end", head + Record("longname").substr(0, 24 + 3), u"", 0, 0},
      {"cut-off record after a good one", Record("good") + Record("cut").substr(0, 25), u"good", 24,
       4},
      {"length needing the high byte", Record("abc", 1) + "rest", u"", 0, 0},
      {"modified UTF-8", Record("J\xC3\xBCrgen"), u"J\u00FCrgen", 24, 7},
      {"older Windows-1252 bytes", Record("J\xFCrgen \x80"), u"J\u00FCrgen \u20AC", 24, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    WriteFileBytes(dir / "A.class", c.file);
    PlayerNameRecord record;
    EXPECT_EQ(ReadPlayerName(dir.u16("A.class"), record), c.name);
    EXPECT_EQ(record.name_offset, c.offset);
    EXPECT_EQ(record.name_length, c.length);
    EXPECT_EQ(ReadFileBytes(dir / "A.class"), c.file);
  }
}

TEST(ReadPlayerName, FailsForMissingAndReadOnlyFiles) {
  TempDir dir;
  PlayerNameRecord record;
  try {
    ReadPlayerName(dir.u16("missing.class"), record);
    FAIL();
  } catch (const platform::FileOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + (dir / "missing.class").string() +
                                         "\". No such file or directory");
  }
  WriteFileBytes(dir / "ro.class", Record("x"));
  fs::permissions(dir / "ro.class",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_THROW(ReadPlayerName(dir.u16("ro.class"), record), platform::FileOpenError);
  EXPECT_EQ(record.name_offset, 0);
}

TEST(WritePlayerName, ReplacesTheNameAndMovesTheTail) {
  struct Case {
    const char* what;
    std::u16string name;
    std::string stored;
  };
  const std::string ascii255(255, 'n');
  const Case cases[] = {
      {"shorter", u"Al", "Al"},
      {"longer", u"Maximilian the Third", "Maximilian the Third"},
      {"empty", u"", ""},
      {"255 characters", std::u16string(255, u'n'), ascii255},
      {"256 characters are cut, not wrapped", std::u16string(256, u'n'), ascii255},
      {"300 characters", std::u16string(300, u'n'), ascii255},
      {"non-ASCII as modified UTF-8", u"J\u00FCrgen \u4E2D", "J\xC3\xBCrgen \xE4\xB8\xAD"},
      {"cut at a character boundary", std::u16string(254, u'a') + u"\u00FC", std::string(254, 'a')},
      {"a surrogate pair stays whole or goes", std::u16string(250, u'a') + u"\U0001F600",
       std::string(250, 'a')},
  };
  const std::string head = "\xCA\xFE\xBA\xBE head ";
  const std::string tail = std::string("\x00\x07tail bytes\xFF", 14);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    WriteFileBytes(dir / "A.class", head + Record("DrexoValmin") + tail);
    PlayerNameRecord record;
    ReadPlayerName(dir.u16("A.class"), record);
    WritePlayerName(dir.u16("A.class"), c.name, record);
    EXPECT_EQ(ReadFileBytes(dir / "A.class"), head + Record(c.stored) + tail);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  }
}

TEST(WritePlayerName, RewritesOnlyTheLastRecord) {
  TempDir dir;
  WriteFileBytes(dir / "A.class", Record("one") + Record("two") + "end");
  PlayerNameRecord record;
  ReadPlayerName(dir.u16("A.class"), record);
  WritePlayerName(dir.u16("A.class"), u"three", record);
  EXPECT_EQ(ReadFileBytes(dir / "A.class"), Record("one") + Record("three") + "end");
}

TEST(WritePlayerName, AnUnchangedNameLeavesTheFileByteIdentical) {
  TempDir dir;
  const std::string content = "head" + Record("DrexoValmin") + std::string("\0tail", 5);
  WriteFileBytes(dir / "A.class", content);
  fs::permissions(dir / "A.class", fs::perms(0640));
  PlayerNameRecord record;
  const std::u16string name = ReadPlayerName(dir.u16("A.class"), record);
  WritePlayerName(dir.u16("A.class"), name, record);
  EXPECT_EQ(ReadFileBytes(dir / "A.class"), content);
  EXPECT_EQ(fs::status(dir / "A.class").permissions(), fs::perms(0640));
}

TEST(WritePlayerName, WithoutARecordNothingIsWritten) {
  TempDir dir;
  WriteFileBytes(dir / "A.class", "no marker");
  PlayerNameRecord record;
  ReadPlayerName(dir.u16("A.class"), record);
  EXPECT_NO_THROW(WritePlayerName(dir.u16("A.class"), u"name", record));
  EXPECT_NO_THROW(WritePlayerName(dir.u16("missing.class"), u"name", record));
  EXPECT_EQ(ReadFileBytes(dir / "A.class"), "no marker");
}

TEST(WritePlayerName, AFileThatChangedUnderneathIsLeftAlone) {
  TempDir dir;
  WriteFileBytes(dir / "A.class", "padding" + Record("name"));
  PlayerNameRecord record;
  ReadPlayerName(dir.u16("A.class"), record);
  WriteFileBytes(dir / "A.class", "short");
  EXPECT_THROW(WritePlayerName(dir.u16("A.class"), u"x", record), std::runtime_error);
  EXPECT_EQ(ReadFileBytes(dir / "A.class"), "short");
}

// Fails writes to the replacement file, or the final rename, as a full disk or a locked
// folder would.
class FailingPlatform : public platform::PlatformWrapper {
 public:
  enum class Fault { kShortWrite, kRename };
  explicit FailingPlatform(Fault fault)
      : PlatformWrapper(platform::Platform::Native()), fault_(fault) {}

  std::unique_ptr<platform::File> OpenFile(const std::u16string& path, std::uint16_t mode,
                                           std::error_code& error) override {
    auto file = target().OpenFile(path, mode, error);
    const bool temp = fs::path(path).filename().string().starts_with("FC");
    if (!file || !temp || fault_ != Fault::kShortWrite) return file;
    return std::make_unique<DiskFullFile>(std::move(file));
  }
  std::error_code ReplaceFile(const std::u16string& from, const std::u16string& to) override {
    if (fault_ == Fault::kRename) return std::make_error_code(std::errc::permission_denied);
    return target().ReplaceFile(from, to);
  }

 private:
  class DiskFullFile : public platform::File {
   public:
    explicit DiskFullFile(std::unique_ptr<platform::File> inner) : inner_(std::move(inner)) {}
    std::size_t Read(void* b, std::size_t n, std::error_code& e) override {
      return inner_->Read(b, n, e);
    }
    std::size_t Write(const void* b, std::size_t n, std::error_code& e) override {
      const std::size_t half = inner_->Write(b, n / 2, e);
      if (half < n) e = std::make_error_code(std::errc::no_space_on_device);
      return half;
    }
    std::int64_t Seek(std::int64_t o, Origin r, std::error_code& e) override {
      return inner_->Seek(o, r, e);
    }
    std::int64_t Size(std::error_code& e) override { return inner_->Size(e); }
    std::error_code Truncate(std::int64_t s) override { return inner_->Truncate(s); }
    std::error_code Flush() override { return inner_->Flush(); }

   private:
    std::unique_ptr<platform::File> inner_;
  };
  Fault fault_;
};

TEST(WritePlayerName, AFailedWriteLeavesTheFileAsItWasAndNoLeftovers) {
  for (const auto fault : {FailingPlatform::Fault::kShortWrite, FailingPlatform::Fault::kRename}) {
    TempDir dir;
    const std::string content = "head" + Record("DrexoValmin") + "tail";
    WriteFileBytes(dir / "A.class", content);
    PlayerNameRecord record;
    ReadPlayerName(dir.u16("A.class"), record);
    FailingPlatform failing(fault);
    platform::ScopedPlatform scoped(failing);
    EXPECT_THROW(WritePlayerName(dir.u16("A.class"), u"Someone Else Entirely", record),
                 platform::StreamError);
    EXPECT_EQ(ReadFileBytes(dir / "A.class"), content);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  }
}

TEST(PlayerNameInARealClass, TheClassStillLoadsAndPrintsTheNewName) {
  TempDir dir;
  const fs::path class_file = testing::CompileAppletClass(dir / "classes", "DrexoValmin");
  PlayerNameRecord record;
  ASSERT_EQ(ReadPlayerName(class_file.u16string(), record), u"DrexoValmin");
  for (const std::u16string name :
       {u"Al", u"A much longer player name than before", u"J\u00FCrgen \u4E2D\U0001F600", u""}) {
    WritePlayerName(class_file.u16string(), name, record);
    EXPECT_EQ(testing::RunApplet(dir / "classes"), platform::Utf16ToUtf8(name));
    EXPECT_EQ(ReadPlayerName(class_file.u16string(), record), name);
  }
}

}  // namespace
}  // namespace qm::app
