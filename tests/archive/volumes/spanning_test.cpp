// Spanned sets on removable disks, through a fake drive in the platform seam: the drive is a
// folder, each disk a folder of its own whose files the volume requests' handler puts into
// the drive (and takes out again) as a user would change disks.
#include <gtest/gtest.h>

#include <random>

#include "archive/archive_error.h"
#include "extract_helpers.h"
#include "platform/file_mode.h"
#include "platform/platform_wrapper.h"
#include "platform/text.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;
constexpr std::uint64_t kDiskCapacity = 100000;

// A removable drive holding one disk at a time, each disk kDiskCapacity bytes.
class FakeDrive final : public platform::PlatformWrapper {
 public:
  explicit FakeDrive(fs::path drive)
      : PlatformWrapper(platform::Platform::Native()), drive_(std::move(drive)) {}

  platform::DriveType GetDriveType(const std::u16string& path) override {
    return OnDrive(path) ? platform::DriveType::kRemovable : target().GetDriveType(path);
  }
  std::optional<std::uint64_t> FreeSpace(const std::u16string& path) override {
    if (!OnDrive(path)) return target().FreeSpace(path);
    std::uint64_t used = 0;
    for (const auto& e : fs::directory_iterator(drive_)) used += fs::file_size(e.path());
    return kDiskCapacity - std::min(used, kDiskCapacity);
  }

  // The disk in the drive goes back to its shelf; disk `number` (from 1) goes in.
  void Insert(int number) {
    if (inserted_ > 0) Shelve();
    const fs::path shelf = Shelf(number);
    fs::create_directories(shelf);
    for (const auto& e : fs::directory_iterator(shelf))
      fs::rename(e.path(), drive_ / e.path().filename());
    inserted_ = number;
  }
  void Shelve() {
    const fs::path shelf = Shelf(inserted_);
    fs::create_directories(shelf);
    for (const auto& e : fs::directory_iterator(drive_))
      fs::rename(e.path(), shelf / e.path().filename());
    inserted_ = 0;
  }
  fs::path Shelf(int number) const {
    return drive_.parent_path() / ("disk" + std::to_string(number));
  }
  int inserted() const { return inserted_; }

 private:
  bool OnDrive(const std::u16string& path) const {
    const std::string p = platform::Utf16ToUtf8(path);
    return p.starts_with(drive_.string());
  }
  fs::path drive_;
  int inserted_ = 0;
};

void MakeSources(const ScratchDir& dir) {
  std::mt19937 random(3);
  for (int i = 0; i < 5; ++i) {
    std::string content(45000, '\0');
    for (char& c : content) c = static_cast<char>(random());
    dir.Write("src/f" + std::to_string(i) + ".bin", content);
  }
}

// The sources, an empty drive, and the drive installed in the platform seam.
struct Scene {
  ScratchDir dir;
  FakeDrive drive{[this] {
    MakeSources(dir);
    fs::create_directories(dir / "drive");
    return dir / "drive";
  }()};
  platform::ScopedPlatform installed{drive};
};

// A writer whose handlers change disks; `cancel_at` cancels the blank request of that disk.
void WriteSpanned(ZipArchiver& archiver, const ScratchDir& dir, FakeDrive& drive, int cancel_at) {
  archiver.SetFileName(dir.U16("drive/arc.zip"));
  archiver.SetSpanningMode(SpanningMode::smSpanning);
  archiver.SetBaseDir(dir.U16("src"));
  archiver.OnRequestBlankVolume = [&](BaseArchiver&, int number, std::u16string&, bool& cancel) {
    cancel = number == cancel_at;
    if (!cancel) drive.Insert(number);
  };
  archiver.OpenArchive(platform::file_mode::kCreate);
  archiver.BeginUpdate();
  archiver.AddFiles(u"*.*", kAll, u"");
  archiver.EndUpdate();
  archiver.CloseArchive();
}

TEST(Spanning, ASetOverSeveralDisksExtractsByteForByte) {
  Scene scene;
  ScratchDir& dir = scene.dir;
  FakeDrive& drive = scene.drive;
  {
    ZipArchiver archiver;
    WriteSpanned(archiver, dir, drive, -1);
  }
  const int disks = drive.inserted();
  ASSERT_GE(disks, 3);
  for (int n = 1; n < disks; ++n) {
    EXPECT_LE(fs::file_size(drive.Shelf(n) / "arc.zip"), kDiskCapacity) << n;
  }
  // The last disk is in the drive: the set is opened from it and asks for the others.
  std::vector<int> asked;
  ZipArchiver archiver;
  archiver.SetFileName(dir.U16("drive/arc.zip"));
  archiver.OnRequestFirstVolume = [&](BaseArchiver&, std::u16string&, bool&) {
    asked.push_back(1);
    drive.Insert(1);
  };
  archiver.OnRequestMiddleVolume = [&](BaseArchiver&, int number, std::u16string&, bool&) {
    asked.push_back(number);
    drive.Insert(number);
  };
  archiver.OnRequestLastVolume = [&](BaseArchiver&, std::u16string&, bool&) {
    asked.push_back(disks);
    drive.Insert(disks);
  };
  archiver.OpenArchive(platform::file_mode::kRead | platform::file_mode::kShareDenyNone);
  EXPECT_EQ(archiver.SpanningMode(), SpanningMode::smSpanning);
  archiver.SetBaseDir(dir.U16("out"));
  archiver.ExtractFiles(u"*.*", kAll, u"");
  EXPECT_TRUE(archiver.LastRunComplete());
  archiver.CloseArchive();
  MustRun("diff -r src out", dir.path());
  EXPECT_FALSE(asked.empty());
}

TEST(Spanning, ACancelledDiskRequestGives45AndLeavesNoHalfWrittenVolume) {
  Scene scene;
  ScratchDir& dir = scene.dir;
  FakeDrive& drive = scene.drive;
  ZipArchiver archiver;
  try {
    WriteSpanned(archiver, dir, drive, 3);
    ADD_FAILURE() << "written";
  } catch (const ArchiveError& e) {
    EXPECT_EQ(e.NativeError(), 45);
  }
  EXPECT_FALSE(archiver.Active());
  // Disk 1 holds its whole volume, filled to the disk; nothing was left on disk 2, whose
  // volume the cancelled set no longer needs.
  drive.Shelve();
  EXPECT_EQ(fs::file_size(drive.Shelf(1) / "arc.zip"), kDiskCapacity);
  EXPECT_EQ(TreeOf(drive.Shelf(2)), std::set<std::string>{});
  EXPECT_EQ(TreeOf(dir / "drive"), std::set<std::string>{});
}

}  // namespace
}  // namespace qm::archive::testing
