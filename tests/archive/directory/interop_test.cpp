// What other tools write, the engine reads as Python's zipfile does: names, sizes, CRCs,
// methods, flags, times, comments, attributes and local-header offsets.
#include <gtest/gtest.h>

#include "fixture_tools.h"

namespace qm::archive::testing {
namespace {

struct ToolCase {
  const char* name;
  const char* command;  // run in a directory holding the usual tree; writes out.zip
};

void PrintTo(const ToolCase& c, std::ostream* os) {
  *os << c.name;
}

class ToolArchive : public ::testing::TestWithParam<ToolCase> {};

TEST_P(ToolArchive, EngineSeesWhatZipfileSees) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun(GetParam().command, dir.path());
  const ArchiveView expected = PythonView(dir / "out.zip");
  ASSERT_FALSE(expected.entries.empty());
  EXPECT_EQ(EngineView(dir / "out.zip"), expected);
}

INSTANTIATE_TEST_SUITE_P(
    RealTools, ToolArchive,
    ::testing::Values(
        ToolCase{"zip_stored", "zip -q -r -0 out.zip a.txt empty.txt docs"},
        ToolCase{"zip_deflated_with_comments",
                 "zip -q -r -9 out.zip a.txt empty.txt docs"
                 " && printf 'first entry\\nsecond entry\\n' | zip -q -c out.zip a.txt empty.txt"
                 " && printf 'the archive comment\\n' | zip -q -z out.zip"},
        // Written to a pipe, zip cannot seek back: every entry gets a data descriptor.
        ToolCase{"zip_streamed_output", "zip -q -r - a.txt docs > out.zip"},
        ToolCase{"zip_streamed_input", "cat docs/b.txt | zip -q out.zip -"},
        ToolCase{"sevenzip", "7zz a -tzip out.zip a.txt empty.txt docs > /dev/null"},
        ToolCase{"sevenzip_stored", "7zz a -tzip -mx0 out.zip a.txt docs > /dev/null"},
        ToolCase{"bsdtar", "bsdtar --format zip -cf out.zip a.txt empty.txt docs"},
        ToolCase{"jar", "jar cf out.zip a.txt empty.txt docs"},
        ToolCase{"python_stored_and_deflated",
                 "python3 -c \"import zipfile\n"
                 "with zipfile.ZipFile('out.zip', 'w') as z:\n"
                 "  z.write('a.txt', compress_type=zipfile.ZIP_STORED)\n"
                 "  z.write('docs/b.txt', compress_type=zipfile.ZIP_DEFLATED)\n"
                 "  z.writestr('folder/', '')\n"
                 "  z.comment = b'python comment'\""},
        ToolCase{"python_force_zip64",
                 "python3 -c \"import zipfile\n"
                 "with zipfile.ZipFile('out.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
                 "  for n in ('a.txt', 'docs/b.txt', 'empty.txt'):\n"
                 "    with open(n, 'rb') as src, z.open(n, 'w', force_zip64=True) as dst:\n"
                 "      dst.write(src.read())\""},
        ToolCase{
            "python_utf8_name",
            "python3 -c \"import zipfile\n"
            "with zipfile.ZipFile('out.zip', 'w') as z:\n"
            "  z.writestr('\\u0436\\u0443\\u0440\\u043d\\u0430\\u043b/\\u65e5\\u672c.txt', 'x')\n"
            "  z.writestr('caf\\u00e9.txt', 'y')\""},
        // The directory lists the records in reverse: its first entry, a folder, is the last
        // record in the file.
        ToolCase{"python_directory_in_reverse",
                 "python3 -c \"import zipfile\n"
                 "with zipfile.ZipFile('out.zip', 'w') as z:\n"
                 "  z.writestr('a.txt', 'a' * 17)\n"
                 "  z.writestr('bb.txt', 'b' * 300)\n"
                 "  z.writestr('folder/', '')\n"
                 "  z.filelist.reverse()\""},
        ToolCase{"python_max_comment",
                 "python3 -c \"import zipfile\n"
                 "with zipfile.ZipFile('out.zip', 'w') as z:\n"
                 "  z.writestr('a.txt', 'x')\n"
                 "  z.comment = bytes((i * 7) % 251 for i in range(65535))\""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EmptyArchive, HasNoItemsAndNoStub) {
  ScratchDir dir;
  MustRunPython("import zipfile\nzipfile.ZipFile('out.zip', 'w').close()\n", dir.path());
  ZipArchiver archiver;
  EXPECT_EQ(EngineView(archiver, dir / "out.zip"), PythonView(dir / "out.zip"));
  archiver.OpenArchive(0x0040);
  EXPECT_EQ(archiver.FileCount(), 0);
  EXPECT_EQ(archiver.DMHandle()->StubSize(), 0);
}

// Entry 0 of the directory is not the first record: the records begin at 0 all the same, and
// nothing counts as a stub (a merge copies another archive's records from the end of its stub).
TEST(ReorderedDirectory, HasNoStubAndItsEntriesRead) {
  ScratchDir dir;
  MustRunPython(
      "import zipfile\n"
      "with zipfile.ZipFile('out.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "  z.writestr('a.txt', 'a' * 1000)\n"
      "  z.writestr('b.txt', 'b' * 2000)\n"
      "  z.writestr('c.txt', 'c' * 3000)\n"
      "  z.filelist = [z.filelist[2], z.filelist[0], z.filelist[1]]\n",
      dir.path());
  ZipArchiver archiver;
  archiver.SetFileName(dir.U16("out.zip"));
  archiver.OpenArchive(0x0040);
  EXPECT_EQ(archiver.DMHandle()->StubSize(), 0);
  std::u16string text;
  archiver.ExtractToString(u"a.txt", text);
  EXPECT_EQ(text, std::u16string(1000, u'a'));
  archiver.ExtractToString(u"c.txt", text);
  EXPECT_EQ(text, std::u16string(3000, u'c'));
}

// Python writes Zip64 end records once an archive holds 0xFFFF entries or more.
TEST(ManyEntries, MoreThan65535EntriesLoadThroughZip64EndRecords) {
  ScratchDir dir;
  MustRunPython(
      "import zipfile\n"
      "with zipfile.ZipFile('out.zip', 'w') as z:\n"
      "  for i in range(70000):\n"
      "    z.writestr(zipfile.ZipInfo('d%d/f%05d' % (i % 10, i)), b'')\n",
      dir.path());
  ZipArchiver archiver;
  archiver.SetFileName(dir.U16("out.zip"));
  archiver.OpenArchive(0x0040);
  ASSERT_TRUE(archiver.DMHandle()->Zip64());
  EXPECT_EQ(archiver.DMHandle()->CDir.Count(), 70000);
  std::int32_t index = -1;
  ASSERT_TRUE(archiver.FindItemIndex(u"d3/f69993", index));
  EXPECT_EQ(index, 69993);
  EXPECT_EQ(archiver.FileCount(), 70000);
}

// A directory that ends beyond 4 GiB, simulated with a sparse file: one item's data at the
// start, a second item's local header past 4 GiB (its offset only in the Zip64 block), and
// the directory after it, located through the Zip64 end records.
TEST(BeyondFourGiB, SparseArchiveWithDirectoryPast4GiB) {
  ScratchDir dir;
  MustRunPython(R"(import struct, zlib
far = (1 << 32) + 4096
def local(name, data):
    return struct.pack('<IHHHHHIIIHH', 0x04034b50, 20, 0, 0, 0, 0x21, zlib.crc32(data),
                       len(data), len(data), len(name), 0) + name + data
def central(name, data, offset):
    if offset >= 0xFFFFFFFF:
        extra = struct.pack('<HHQ', 1, 8, offset)
        rel = 0xFFFFFFFF
    else:
        extra, rel = b'', offset
    return struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 45, 45, 0, 0, 0, 0x21,
                       zlib.crc32(data), len(data), len(data), len(name), len(extra), 0, 0,
                       0, 0x20, rel) + name + extra
with open('out.zip', 'wb') as f:
    f.write(local(b'near.txt', b'near data'))
    f.seek(far)
    f.write(local(b'far.txt', b'far data'))
    cd_start = f.tell()
    cd = central(b'near.txt', b'near data', 0) + central(b'far.txt', b'far data', far)
    f.write(cd)
    z64 = f.tell()
    f.write(struct.pack('<IQHHIIQQQQ', 0x06064b50, 44, 45, 45, 0, 0, 2, 2, len(cd), cd_start))
    f.write(struct.pack('<IIQI', 0x07064b50, 0, z64, 1))
    f.write(struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 2, 2, len(cd), 0xFFFFFFFF, 0))
)",
                dir.path());
  const ArchiveView expected = PythonView(dir / "out.zip");
  ASSERT_EQ(expected.entries.size(), 2u);
  EXPECT_EQ(expected.entries[1].offset, (1ull << 32) + 4096);
  ZipArchiver archiver;
  EXPECT_EQ(EngineView(archiver, dir / "out.zip"), expected);
  archiver.OpenArchive(0x0040);
  EXPECT_EQ(archiver.DMHandle()->CentralDirOffset(),
            static_cast<std::int64_t>((1ull << 32) + 4096 + 30 + 7 + 8));
}

}  // namespace
}  // namespace qm::archive::testing
