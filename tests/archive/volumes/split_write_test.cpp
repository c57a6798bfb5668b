// Split sets we write: the volumes' names, a stub in the first volume, records that must not
// be cut, and the tools of others reading what we wrote.
#include <gtest/gtest.h>

#include <random>

#include "archive/archive_error.h"
#include "extract_helpers.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;
constexpr std::int64_t kVolume = SpanningOptions::kMinCustomVolumeSize;

// Files that deflate gains nothing on, so that their sizes decide the volumes.
void MakeSources(const ScratchDir& dir, std::size_t total, std::size_t files) {
  std::mt19937 random(5);
  for (std::size_t i = 0; i < files; ++i) {
    std::string content(total / files, '\0');
    for (char& c : content) c = static_cast<char>(random());
    dir.Write("src/f" + std::to_string(i) + ".bin", content);
  }
}

struct SplitCase {
  const char* label;
  const char* archive;
  std::size_t total;  // bytes of source data
  std::size_t files;
  bool advanced = false;
  std::int64_t stub = -1;  // bytes of the stub, -1 none
  std::int64_t first_volume = 0;
  std::vector<std::string> volumes;  // the files the set is made of, in order
  int native_error = 0;              // the open that places the stub fails with it
  // Read by 7zz, and by unzip once zip -s 0 joined it (Info-ZIP looks for ".z01" only).
  bool seven_zip_reads_it = true;
  bool info_zip_joins_it = true;
};

// Writes the set of `c` from dir/src; answers the native error raised, 0 when none.
int WriteSet(const ScratchDir& dir, const SplitCase& c) {
  ZipArchiver archiver;
  archiver.SetFileName(dir.U16(c.archive));
  archiver.SetSpanningMode(SpanningMode::smSplitting);
  archiver.SpanningOptions().SetVolumeSize(VolumeSize::vsCustom);
  archiver.SpanningOptions().SetCustomVolumeSize(kVolume);
  archiver.SpanningOptions().SetFirstVolumeSize(c.first_volume);
  archiver.SpanningOptions().SetAdvancedNaming(c.advanced);
  if (c.stub >= 0) {
    dir.Write("stub.bin", std::string(static_cast<std::size_t>(c.stub), 'S'));
    archiver.SetSFXStub(dir.U16("stub.bin"));
  }
  archiver.SetBaseDir(dir.U16("src"));
  try {
    archiver.OpenArchive();
  } catch (const ArchiveError& e) {
    return e.NativeError();
  }
  archiver.BeginUpdate();
  archiver.AddFiles(u"*.*", kAll, u"");
  archiver.EndUpdate();
  archiver.CloseArchive();
  return 0;
}

std::uint32_t Le(const std::string& bytes, std::size_t at, int width) {
  std::uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) {
    value = value << 8 | static_cast<std::uint8_t>(bytes.at(at + static_cast<std::size_t>(i)));
  }
  return value;
}

// Walks the directory from the end record over the volumes (in order): the central records
// whose fixed part, name and extra field do not lie whole in one volume.
int CentralRecordsCutShort(const ScratchDir& dir, const std::vector<std::string>& volumes) {
  std::vector<std::string> bytes;
  for (const auto& volume : volumes) bytes.push_back(ReadFile(dir / volume));
  const std::string& last = bytes.back();
  const std::size_t end = last.size() - 22;  // no archive comment here
  EXPECT_EQ(Le(last, end, 4), 0x06054B50u);
  std::size_t volume = Le(last, end + 6, 2);
  std::size_t offset = Le(last, end + 16, 4);
  const std::uint32_t count = Le(last, end + 10, 2);
  int cut = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (offset == bytes[volume].size()) {
      ++volume;
      offset = 0;
    }
    const std::string& v = bytes[volume];
    if (offset + 46 > v.size()) return cut + 1;
    EXPECT_EQ(Le(v, offset, 4), 0x02014B50u) << "record " << i;
    const std::size_t head = 46 + Le(v, offset + 28, 2) + Le(v, offset + 30, 2);
    if (offset + head > v.size()) ++cut;
    offset += head + Le(v, offset + 32, 2);
  }
  return cut;
}

std::set<std::string> SetFiles(const ScratchDir& dir) {
  std::set<std::string> files;
  for (const auto& name : TreeOf(dir.path())) {
    if (!name.starts_with("src/") && name != "stub.bin") files.insert(name);
  }
  return files;
}

TEST(SplitWriting, VolumesAreNamedFilledAndReadBack) {
  const SplitCase cases[] = {
      {.label = "three volumes",
       .archive = "arc.zip",
       .total = 150000,
       .files = 3,
       .volumes = {"arc.z01", "arc.z02", "arc.zip"}},
      {.label = "three volumes, advanced naming",
       .archive = "arc.zip",
       .total = 150000,
       .files = 3,
       .advanced = true,
       .volumes = {"arc_001.zip", "arc_002.zip", "arc.zip"},
       .seven_zip_reads_it = false,
       .info_zip_joins_it = false},
      {.label = "upper-case archive name",
       .archive = "ARC.ZIP",
       .total = 150000,
       .files = 3,
       .volumes = {"ARC.Z01", "ARC.Z02", "ARC.ZIP"},
       .info_zip_joins_it = false},
      {.label = "self-extracting set",
       .archive = "arc.exe",
       .total = 150000,
       .files = 3,
       .stub = 1000,
       .volumes = {"arc.exe", "arc.z02", "arc.zip"},
       .seven_zip_reads_it = false,
       .info_zip_joins_it = false},
      // Many small records: a directory over several volumes, its records meeting the ends of
      // volumes here and there.
      {.label = "many records",
       .archive = "arc.zip",
       .total = 30000,
       .files = 1500,
       .volumes = {"arc.z01", "arc.z02", "arc.zip"}},
      {.label = "a stub that fills the first volume",
       .archive = "arc.exe",
       .total = 60000,
       .files = 3,
       .stub = 70000,
       .first_volume = 70000,
       .volumes = {"arc.exe", "arc.zip"},
       .seven_zip_reads_it = false,
       .info_zip_joins_it = false},
      {.label = "a stub one byte larger than the first volume",
       .archive = "arc.exe",
       .total = 60000,
       .files = 3,
       .stub = 70001,
       .first_volume = 70000,
       .native_error = static_cast<int>(ErrorSite::kSfxStubTooLarge)},
      {.label = "one volume",
       .archive = "arc.zip",
       .total = 20000,
       .files = 2,
       .volumes = {"arc.zip"}},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.label);
    ScratchDir dir;
    MakeSources(dir, c.total, c.files);
    ASSERT_EQ(WriteSet(dir, c), c.native_error);
    EXPECT_EQ(SetFiles(dir), std::set<std::string>(c.volumes.begin(), c.volumes.end()));
    if (c.native_error != 0) continue;
    for (const auto& volume : c.volumes) {
      const auto size = static_cast<std::int64_t>(fs::file_size(dir / volume));
      const bool first = volume == c.volumes.front();
      EXPECT_LE(size, first && c.first_volume > 0 ? c.first_volume : kVolume) << volume;
    }
    EXPECT_EQ(CentralRecordsCutShort(dir, c.volumes), 0);
    if (std::string_view(c.label) == "many records") {
      // Some record did not fit at the end of a volume and went to the next.
      EXPECT_TRUE(fs::file_size(dir / "arc.z01") < kVolume ||
                  fs::file_size(dir / "arc.z02") < kVolume);
    }

    ZipArchiver archiver;
    OpenForReading(archiver, dir / c.archive);
    EXPECT_EQ(archiver.SpanningMode(),
              c.volumes.size() > 1 ? SpanningMode::smSplitting : SpanningMode::smNone);
    EXPECT_EQ(archiver.FileCount(), static_cast<std::int32_t>(c.files));
    archiver.SetBaseDir(dir.U16("out"));
    archiver.ExtractFiles(u"*.*", kAll, u"");
    EXPECT_TRUE(archiver.LastRunComplete());
    archiver.CloseArchive();
    MustRun("diff -r src out", dir.path());

    if (c.seven_zip_reads_it)
      MustRun(std::string("7zz t ") + c.archive + " > /dev/null", dir.path());
    if (c.info_zip_joins_it)
      MustRun(std::string("zip -q -s 0 ") + c.archive +
                  " --out joined.zip < /dev/null && unzip -tqq joined.zip",
              dir.path());
  }
}

}  // namespace
}  // namespace qm::archive::testing
