// Faults below the engine: a full disk while writing an item, and a read error of the archive
// stream. Each leaves no partial file behind and releases the archive lock.
#include <gtest/gtest.h>

#include <thread>

#include "archive/archive_error.h"
#include "extract_helpers.h"
#include "platform/archive_lock.h"
#include "platform/memory_stream.h"
#include "platform/platform_wrapper.h"
#include "platform/stream_errors.h"
#include "platform/text.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;

// A file on a disk with `room` bytes left: writes beyond it fail with "no space".
class CrampedFile final : public platform::File {
 public:
  CrampedFile(std::unique_ptr<platform::File> inner, std::int64_t& room)
      : inner_(std::move(inner)), room_(room) {}
  std::size_t Read(void* b, std::size_t n, std::error_code& e) override {
    return inner_->Read(b, n, e);
  }
  std::size_t Write(const void* b, std::size_t n, std::error_code& e) override {
    if (static_cast<std::int64_t>(n) > room_) {
      e = std::make_error_code(std::errc::no_space_on_device);
      return 0;
    }
    room_ -= static_cast<std::int64_t>(n);
    return inner_->Write(b, n, e);
  }
  std::int64_t Seek(std::int64_t o, Origin w, std::error_code& e) override {
    return inner_->Seek(o, w, e);
  }
  std::int64_t Size(std::error_code& e) override { return inner_->Size(e); }
  std::error_code Truncate(std::int64_t s) override { return inner_->Truncate(s); }
  std::error_code Flush() override { return inner_->Flush(); }

 private:
  std::unique_ptr<platform::File> inner_;
  std::int64_t& room_;
};

// Files created below `folder` land on the cramped disk.
class CrampedDisk final : public platform::PlatformWrapper {
 public:
  CrampedDisk(std::u16string folder, std::int64_t room)
      : PlatformWrapper(platform::Platform::Native()), folder_(std::move(folder)), room_(room) {}
  std::unique_ptr<platform::File> OpenFile(const std::u16string& path, std::uint16_t mode,
                                           std::error_code& error) override {
    auto file = target().OpenFile(path, mode, error);
    if (!file || !path.starts_with(folder_)) return file;
    return std::make_unique<CrampedFile>(std::move(file), room_);
  }
  std::unique_ptr<platform::File> CreateTempFileIn(platform::Folder& folder,
                                                   const std::u16string& prefix,
                                                   std::u16string& name,
                                                   std::error_code& error) override {
    auto file = target().CreateTempFileIn(folder, prefix, name, error);
    if (!file || !folder.Path().starts_with(folder_)) return file;
    return std::make_unique<CrampedFile>(std::move(file), room_);
  }
  std::int64_t& room() { return room_; }

 private:
  std::u16string folder_;
  std::int64_t room_;
};

void MakeTwoItems(const ScratchDir& dir) {
  MakeZip(dir.path(),
          "with zipfile.ZipFile('two.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
          "  z.writestr('small.txt', 'tiny')\n"
          "  z.writestr('large.txt', 'x' * 200000)\n");
}

TEST(DiskFull, WithoutAHandlerTheItemFailsWithNativeError65AndLeavesNoFile) {
  ScratchDir dir;
  MakeTwoItems(dir);
  CrampedDisk disk(dir.U16("out"), 1000);
  platform::ScopedPlatform installed(disk);
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "two.zip");
  archiver.SetBaseDir(dir.U16("out"));
  std::vector<int> natives;
  archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string&, ProcessOperation,
                                      int native, int, const std::u16string&,
                                      Action&) { natives.push_back(native); };
  archiver.ExtractFiles(u"*.*", kAll, u"");
  EXPECT_EQ(natives, std::vector<int>{65});
  EXPECT_EQ(TreeOf(dir / "out"), std::set<std::string>{"small.txt"});
}

TEST(DiskFull, HandlerThatMakesRoomLetsTheWriteGoOnAndOneThatDoesNotAnswerDropsTheItem) {
  ScratchDir dir;
  MakeTwoItems(dir);
  for (const bool make_room : {true, false}) {
    SCOPED_TRACE(make_room);
    fs::remove_all(dir / "out");
    CrampedDisk disk(dir.U16("out"), 1000);
    platform::ScopedPlatform installed(disk);
    ZipArchiver archiver;
    OpenForReading(archiver, dir / "two.zip");
    archiver.SetBaseDir(dir.U16("out"));
    int asked = 0;
    archiver.OnDiskFull = [&](BaseArchiver&, int volume, const std::u16string& name, bool& cancel) {
      ++asked;
      EXPECT_EQ(volume, 0);
      EXPECT_EQ(name, dir.U16("two.zip"));
      EXPECT_TRUE(cancel);
      if (make_room) {
        disk.room() = 1 << 30;
        cancel = false;
      }
    };
    archiver.ExtractFiles(u"*.*", kAll, u"");
    EXPECT_EQ(asked, 1);
    if (make_room) {
      EXPECT_EQ(ReadFile(dir / "out/large.txt"), std::string(200000, 'x'));
      EXPECT_TRUE(archiver.LastRunComplete());
    } else {
      // The cancel drops the item; without progress handlers the next event clears it again.
      EXPECT_EQ(TreeOf(dir / "out"), std::set<std::string>{"small.txt"});
      EXPECT_FALSE(archiver.LastRunComplete());
    }
  }
}

// The archive in memory, failing every read past `limit`.
class BrokenStream final : public platform::MemoryStream {
 public:
  BrokenStream(std::vector<unsigned char> data, std::int64_t limit)
      : MemoryStream(std::move(data)), limit_(limit) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    if (broken_ && Position() + static_cast<std::int64_t>(count) > limit_) {
      throw platform::ReadError("device gone");
    }
    return MemoryStream::Read(buffer, count);
  }
  bool broken_ = false;

 private:
  std::int64_t limit_;
};

TEST(ReadErrors, EndTheRunDeleteThePartialFileAndReleaseTheLock) {
  ScratchDir dir;
  MakeZip(dir.path(),
          "import random\n"
          "random.seed(5)\n"
          "with zipfile.ZipFile('r.zip', 'w') as z:\n"
          "  z.writestr('first.txt', 'one')\n"
          "  z.writestr('big.bin', random.randbytes(3 << 20))\n");
  const std::string bytes = ReadFile(dir / "r.zip");
  BrokenStream stream(std::vector<unsigned char>(bytes.begin(), bytes.end()), 2 << 20);
  ZipArchiver archiver;
  archiver.OpenArchive(stream, false);
  stream.broken_ = true;
  archiver.SetBaseDir(dir.U16("out"));
  bool failure_event = false;
  archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string&, ProcessOperation, int,
                                      int, const std::u16string&,
                                      Action&) { failure_event = true; };
  EXPECT_THROW(archiver.ExtractFiles(u"*.*", kAll, u""), platform::ReadError);
  EXPECT_FALSE(failure_event);  // not an archive error: it ends the operation
  EXPECT_EQ(TreeOf(dir / "out"), std::set<std::string>{"first.txt"});
  EXPECT_FALSE(archiver.LastRunComplete());
  bool locked_elsewhere = false;
  std::thread other([&] {
    locked_elsewhere = platform::ArchiveLock().try_lock();
    if (locked_elsewhere) platform::ArchiveLock().unlock();
  });
  other.join();
  EXPECT_TRUE(locked_elsewhere);
}

}  // namespace
}  // namespace qm::archive::testing
