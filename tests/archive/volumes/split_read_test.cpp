// Split sets other tools make: Info-ZIP's `zip -s` (".z01" ... beside ".zip", volumes cut at
// any byte, local headers and central records included) read as one archive, from its last
// volume, and every item comes back byte for byte.
#include <gtest/gtest.h>

#include <set>

#include "extract_helpers.h"
#include "volume_fixtures.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;

class InfoZipSplitSet : public ::testing::TestWithParam<const char*> {};

TEST_P(InfoZipSplitSet, IsListedTestedAndExtractedByteForByte) {
  ScratchDir dir;
  const std::size_t files = MakeVolumeTree(dir / "tree");
  MustRun(std::string("zip -q -r -s ") + GetParam() + " set.zip tree", dir.path());
  ASSERT_TRUE(fs::exists(dir / "set.z01"));

  ZipArchiver archiver;
  OpenForReading(archiver, dir / "set.zip");
  EXPECT_EQ(archiver.SpanningMode(), SpanningMode::smSplitting);
  EXPECT_EQ(static_cast<std::size_t>(archiver.FileCount()), files);
  archiver.TestFiles(u"*.*", kAll, u"");
  EXPECT_TRUE(archiver.LastRunComplete());
  EXPECT_EQ(static_cast<std::size_t>(archiver.ProcessedFileCount()),
            files + 1 + 7 + 7 * 3);  // tree/, d0/ to d6/, their s0/ to s2/
  archiver.SetBaseDir(dir.U16("out"));
  archiver.ExtractFiles(u"*.*", kAll, u"");
  EXPECT_TRUE(archiver.LastRunComplete());
  archiver.CloseArchive();
  MustRun("diff -r tree out/tree", dir.path());
  // Nothing was renamed or written beside the set (names compared as listed: a file system
  // that ignores case would find "set.Z01" as "set.z01").
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    names.insert(entry.path().filename().string());
  }
  EXPECT_TRUE(names.count("set.z01"));
  EXPECT_FALSE(names.count("set.Z01"));
}

INSTANTIATE_TEST_SUITE_P(VolumeSizes, InfoZipSplitSet, ::testing::Values("64k", "1m"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace qm::archive::testing
