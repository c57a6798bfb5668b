// Archives written by other tools extract to exactly the bytes Python's zipfile reads, with
// folders, times and the read-only attribute; damaged, Deflate64 and hostile items fail the
// way they should.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "archive/archive_error.h"
#include "archive/directory/host_metadata.h"
#include "extract_helpers.h"
#include "platform/dos_time.h"
#include "platform/file_attributes.h"
#include "platform/memory_stream.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
using platform::Platform;

struct ToolCase {
  const char* name;
  const char* command;  // run in a folder holding the usual tree; writes out.zip
};
void PrintTo(const ToolCase& c, std::ostream* os) {
  *os << c.name;
}

// The usual tree plus a read-only file and a file of several decoder chunks, half
// compressible, half noise.
void MakeInteropTree(const ScratchDir& dir) {
  dir.MakeTree();
  dir.Write("docs/readonly.txt", "do not touch\n");
  fs::permissions(dir / "docs/readonly.txt",
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  std::string big;
  big.reserve(2600000);
  for (int i = 0; big.size() < 1300000; ++i) big += "row " + std::to_string(i) + " of the table\n";
  std::mt19937 gen(11);
  while (big.size() < 2600000) big += static_cast<char>(gen());
  dir.Write("big.bin", big);
  fs::create_directories(dir / "emptydir");
}

// Folder entries, file times and the read-only bit came through as the directory says.
void ExpectTimesAndAttributes(ZipArchiver& archiver, const fs::path& out) {
  const DirArray& d = archiver.DMHandle()->CDir;
  Platform& os = Platform::Current();
  for (std::int32_t i = 0; i < d.Count(); ++i) {
    const DirItem& item = d.GetItem(i);
    const std::u16string path = platform::Utf8ToUtf16(out.string()) + u"/" + item.Name;
    const std::uint32_t attributes = os.GetAttributes(path);
    ASSERT_NE(attributes, platform::attr::kInvalid) << Utf8(item.Name);
    if (item.Name.ends_with(u'/')) {
      EXPECT_TRUE(attributes & platform::attr::kDirectory) << Utf8(item.Name);
      continue;
    }
    // An extended timestamp block gives the exact time (zip writes one), else the DOS time.
    const auto exact = ExtendedModificationTime(item);
    const std::uint32_t dos =
        exact ? platform::UnixTimeToDosDateTime(static_cast<std::time_t>(*exact))
              : (std::uint32_t{item.CentralDir.lastModDate} << 16) | item.CentralDir.lastModTime;
    EXPECT_EQ(os.GetLastWriteDosTime(path).value_or(0), dos) << Utf8(item.Name);
    // Read-only by the DOS bit, or by Unix permission bits without the owner's write (bsdtar
    // sets only those).
    const auto mode = UnixPermissions(item);
    const bool read_only = (item.CentralDir.externalAttr & platform::attr::kReadOnly) != 0 ||
                           (mode && (*mode & 0200) == 0);
    EXPECT_EQ((attributes & platform::attr::kReadOnly) != 0, read_only) << Utf8(item.Name);
  }
}

class ToolArchiveExtraction : public ::testing::TestWithParam<ToolCase> {};

TEST_P(ToolArchiveExtraction, ExtractsWhatZipfileReads) {
  ScratchDir dir;
  MakeInteropTree(dir);
  MustRun(GetParam().command, dir.path());
  const fs::path archive = dir / "out.zip";

  ZipArchiver archiver;
  OpenForReading(archiver, archive);
  archiver.SetBaseDir(dir.U16("out"));
  bool failed = false;
  archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string& name, ProcessOperation,
                                      int native, int, const std::u16string&, Action& action) {
    ADD_FAILURE() << Utf8(name) << " failed with native error " << native;
    failed = true;
    action = Action::fxaAbort;
  };
  archiver.ExtractFiles(u"*.*", ArchiveOptions::kDefaultSearchAttr, u"");
  EXPECT_FALSE(failed);
  EXPECT_TRUE(archiver.LastRunComplete());
  EXPECT_EQ(archiver.ProcessedFileNo(), archiver.DMHandle()->CDir.Count());
  EXPECT_EQ(DiffWithZipfile(archive, dir / "out"), "");
  ExpectTimesAndAttributes(archiver, dir / "out");

  // Testing agrees, and decoding to memory gives the same bytes as the file.
  archiver.TestFiles(u"*.*", ArchiveOptions::kDefaultSearchAttr, u"");
  EXPECT_TRUE(archiver.LastRunComplete());
  platform::MemoryStream big;
  archiver.ExtractToStream(u"big.bin", big);
  EXPECT_EQ(big.ToString(), ReadFile(dir / "out/big.bin"));
}

INSTANTIATE_TEST_SUITE_P(
    RealTools, ToolArchiveExtraction,
    ::testing::Values(
        ToolCase{"zip", "zip -q -r out.zip a.txt empty.txt docs big.bin emptydir"},
        ToolCase{"zip_stored", "zip -q -r -0 out.zip a.txt empty.txt docs big.bin emptydir"},
        ToolCase{"zip_max", "zip -q -r -9 out.zip a.txt empty.txt docs big.bin emptydir"},
        ToolCase{"zip_streamed", "zip -q -r - a.txt docs big.bin > out.zip"},
        ToolCase{"sevenzip",
                 "7zz a -tzip out.zip a.txt empty.txt docs big.bin emptydir > /dev/null"},
        ToolCase{"sevenzip_stored",
                 "7zz a -tzip -mx0 out.zip a.txt empty.txt docs big.bin > /dev/null"},
        ToolCase{"bsdtar", "bsdtar --format zip -cf out.zip a.txt empty.txt docs big.bin emptydir"},
        ToolCase{"jar", "jar cf out.zip a.txt empty.txt docs big.bin emptydir"},
        ToolCase{"python",
                 "python3 -c \"import zipfile\n"
                 "with zipfile.ZipFile('out.zip', 'w') as z:\n"
                 "  z.write('a.txt', compress_type=zipfile.ZIP_STORED)\n"
                 "  z.write('big.bin', compress_type=zipfile.ZIP_DEFLATED)\n"
                 "  z.write('docs/b.txt', compress_type=zipfile.ZIP_DEFLATED)\n"
                 "  z.writestr('folder/', '')\n"
                 "  z.writestr('\\u0436\\u0443\\u0440/caf\\u00e9.txt', 'y' * 100)\""},
        ToolCase{"python_zip64",
                 "python3 -c \"import zipfile\n"
                 "with zipfile.ZipFile('out.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
                 "  for n in ('a.txt', 'docs/b.txt', 'empty.txt', 'big.bin'):\n"
                 "    with open(n, 'rb') as src, z.open(n, 'w', force_zip64=True) as dst:\n"
                 "      dst.write(src.read())\""}),
    [](const auto& info) { return std::string(info.param.name); });

// A failure handler that records native errors and answers `answer`.
struct FailureLog {
  std::vector<std::pair<std::string, int>> failures;
  Action answer = Action::fxaIgnore;
  void Attach(ZipArchiver& archiver) {
    archiver.OnProcessFileFailure = [this](BaseArchiver&, const std::u16string& name,
                                           ProcessOperation, int native, int, const std::u16string&,
                                           Action& action) {
      failures.emplace_back(Utf8(name), native);
      action = answer;
    };
  }
};

TEST(DamagedItems, FailWithNativeError8AndLeaveNoFile) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun("zip -q -r out.zip a.txt docs", dir.path());
  DamageEntry(dir / "out.zip", "docs/b.txt");
  DamageEntry(dir / "out.zip", "docs/sub/c.bin");  // stored by zip: only its CRC breaks
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "out.zip");
  archiver.SetBaseDir(dir.U16("out"));
  FailureLog log;
  log.Attach(archiver);
  archiver.ExtractFiles(u"*.*", ArchiveOptions::kDefaultSearchAttr, u"");
  const std::vector<std::pair<std::string, int>> expected = {
      {NativeSeparators("docs/b.txt"), 8}, {NativeSeparators("docs/sub/c.bin"), 8}};
  EXPECT_EQ(log.failures, expected);
  EXPECT_EQ(TreeOf(dir / "out"), (std::set<std::string>{"a.txt", "docs/", "docs/sub/"}));
  EXPECT_FALSE(archiver.LastRunComplete());
  EXPECT_EQ(archiver.IncompleteFileCount(), 2);

  try {
    platform::MemoryStream sink;
    archiver.ExtractToStream(u"docs/b.txt", sink);
    FAIL() << "no error";
  } catch (const ArchiveError& e) {
    EXPECT_EQ(e.NativeError(), 8);
  }
}

TEST(DamagedItems, ExtractCorruptedFilesKeepsWhatWasDecoded) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun("zip -q -r out.zip docs/b.txt", dir.path());
  DamageEntry(dir / "out.zip", "docs/b.txt");
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "out.zip");
  archiver.SetBaseDir(dir.U16("out"));
  archiver.SetExtractCorruptedFiles(true);
  FailureLog log;
  log.Attach(archiver);
  archiver.ExtractFiles(u"*.*", ArchiveOptions::kDefaultSearchAttr, u"");
  EXPECT_TRUE(log.failures.empty());
  const std::string kept = ReadFile(dir / "out/docs/b.txt");
  const std::string original = ReadFile(dir / "docs/b.txt");
  ASSERT_FALSE(kept.empty());
  EXPECT_LE(kept.size(), original.size());
  // Everything before the damaged byte decodes right.
  EXPECT_EQ(kept.substr(0, 100), original.substr(0, 100));
  EXPECT_FALSE(archiver.LastRunComplete());  // kept, but not intact
}

TEST(DamagedItems, ItemLargerThanRecordedStopsAtTheRecordedSize) {
  ScratchDir dir;
  // One MiB of zeros deflates to about a kilobyte; the directory then claims 10 bytes.
  MakeZip(dir.path(),
          "import struct\n"
          "with zipfile.ZipFile('bomb.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
          "  z.writestr('zeros.bin', bytes(1 << 20))\n"
          "data = bytearray(open('bomb.zip', 'rb').read())\n"
          "cd = data.rfind(b'PK\\x01\\x02')\n"
          "data[cd + 24:cd + 28] = struct.pack('<I', 10)\n"
          "data[26 - 4:26] = struct.pack('<I', 10)\n"
          "open('bomb.zip', 'wb').write(data)\n");
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "bomb.zip");
  archiver.SetBaseDir(dir.U16("out"));
  archiver.SetExtractCorruptedFiles(true);
  archiver.ExtractFiles(u"*.*", ArchiveOptions::kDefaultSearchAttr, u"");
  EXPECT_EQ(fs::file_size(dir / "out/zeros.bin"), 10u);
  EXPECT_FALSE(archiver.LastRunComplete());
}

TEST(Deflate64, EntryFromSevenZipGivesNativeError55) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun("7zz a -tzip -mm=Deflate64 out.zip docs/b.txt > /dev/null", dir.path());
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "out.zip");
  archiver.SetBaseDir(dir.U16("out"));
  archiver.SetExtractCorruptedFiles(true);  // refused whatever this says
  FailureLog log;
  log.Attach(archiver);
  archiver.ExtractFiles(u"*.*", ArchiveOptions::kDefaultSearchAttr, u"");
  ASSERT_EQ(log.failures.size(), 1u);
  EXPECT_EQ(log.failures[0].second, 55);
  EXPECT_FALSE(fs::exists(dir / "out/docs/b.txt"));
}

// Hostile names stay inside the destination folder: each fails with native error 68 and
// nothing appears anywhere else.
TEST(HostileNames, NothingIsWrittenOutsideTheBaseDirectory) {
  ScratchDir dir;
  MakeZip(dir.path(),
          "with zipfile.ZipFile('evil.zip', 'w') as z:\n"
          "  z.writestr('../evil.txt', 'x')\n"
          "  z.writestr('/abs/x.txt', 'x')\n"
          "  z.writestr('a/../../x.txt', 'x')\n"
          "  z.writestr('a/b/../../../../y.txt', 'x')\n"
          "  z.writestr('../', '')\n"
          "  z.writestr('a/../fine.txt', 'ok')\n"
          "  z.writestr('ok.txt', 'ok')\n");
  fs::create_directories(dir / "deep/target");
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "evil.zip");
  archiver.SetBaseDir(dir.U16("deep/target"));
  FailureLog log;
  log.Attach(archiver);
  archiver.ExtractFiles(u"*.*", ArchiveOptions::kDefaultSearchAttr, u"");

  std::vector<std::string> refused;
  for (const auto& [name, native] : log.failures) {
    EXPECT_EQ(native, 68) << name;
    refused.push_back(name);
  }
  std::vector<std::string> expected;
  for (const char* name :
       {"../evil.txt", "/abs/x.txt", "a/../../x.txt", "a/b/../../../../y.txt", "../"}) {
    expected.push_back(NativeSeparators(name));
  }
  EXPECT_EQ(refused, expected);
  std::set<std::string> tree = TreeOf(dir.path());
  tree.erase("fixture.py");
  EXPECT_EQ(tree, (std::set<std::string>{"evil.zip", "deep/", "deep/target/",
                                         "deep/target/fine.txt", "deep/target/ok.txt"}));
  EXPECT_FALSE(fs::exists("/abs/x.txt"));
  EXPECT_FALSE(archiver.LastRunComplete());
}

TEST(HostileNames, CallersMayOptInToPathsOutside) {
  ScratchDir dir;
  MakeZip(dir.path(),
          "with zipfile.ZipFile('evil.zip', 'w') as z:\n"
          "  z.writestr('../up.txt', 'x')\n");
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "evil.zip");
  archiver.SetBaseDir(dir.U16("target"));
  archiver.Options().AllowPathsOutsideBaseDir = true;
  archiver.ExtractFiles(u"*.*", ArchiveOptions::kDefaultSearchAttr, u"");
  EXPECT_EQ(ReadFile(dir / "up.txt"), "x");
  EXPECT_TRUE(archiver.LastRunComplete());
}

}  // namespace
}  // namespace qm::archive::testing
