// Archives made to mislead the reader: items whose bytes overlap (zip bombs), offsets that do
// not lead to a local header, a second archive appended to a first, and a version field that
// claims the entry needs no checks. Each fixture is written byte by byte with Python's struct.
#include <gtest/gtest.h>

#include "archive/archive_error.h"
#include "extract_helpers.h"
#include "platform/memory_stream.h"

namespace qm::archive::testing {
namespace {

constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;

// Record writers for the fixtures; every program below starts with these.
const char* const kRecords = R"(import struct, zlib, zipfile, io
def local(name, data, crc=None, size=None, method=0, version=20, flags=0, comp=None):
    crc = zlib.crc32(data) if crc is None else crc
    return struct.pack('<IHHHHHIIIHH', 0x04034B50, version, flags, method, 0, 0x5121, crc,
                       len(data) if comp is None else comp, len(data) if size is None else size,
                       len(name), 0) + name + data
def central(name, comp, size, crc, offset, method=0, version=20, flags=0, made=20):
    return struct.pack('<IHHHHHHIIIHHHHHII', 0x02014B50, made, version, flags, method, 0, 0x5121,
                       crc, comp, size, len(name), 0, 0, 0, 0, 0x20, offset) + name
def end(count, directory, offset):
    return struct.pack('<IHHHHIIH', 0x06054B50, 0, 0, count, count, len(directory), offset, 0)
def deflate(data):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()
)";

void WriteFixture(const ScratchDir& dir, const std::string& program) {
  MustRunPython(std::string(kRecords) + program, dir.path());
}

// Opens out.zip as the name changer does (the component's defaults, corrupted archives
// tolerated) or strictly; the native error of a refused open, 0 when it opened.
int OpenError(const ScratchDir& dir, bool corrupted) {
  ZipArchiver archiver;
  archiver.SetOpenCorruptedArchives(corrupted);
  try {
    OpenForReading(archiver, dir / "out.zip");
  } catch (const ArchiveError& e) {
    return e.NativeError();
  }
  return 0;
}

struct OverlapCase {
  const char* name;
  const char* program;
  int strict_error;  // the sum of sizes, which runs first, catches some
};

void PrintTo(const OverlapCase& c, std::ostream* os) {
  *os << c.name;
}

class OverlappingItems : public ::testing::TestWithParam<OverlapCase> {};

TEST_P(OverlappingItems, AreRefusedOnEveryPath) {
  ScratchDir dir;
  WriteFixture(dir, GetParam().program);
  EXPECT_EQ(OpenError(dir, true), 71) << "the component's defaults";
  EXPECT_EQ(OpenError(dir, false), GetParam().strict_error) << "strict";
}

// The kernel: 1 MiB of zeros deflated to about a kilobyte, quoted by every entry.
INSTANTIATE_TEST_SUITE_P(
    Bombs, OverlappingItems,
    ::testing::Values(
        OverlapCase{"entries_sharing_one_local_header",
                    "plain = bytes(1 << 20)\n"
                    "kernel = deflate(plain)\n"
                    "out = local(b'k', kernel, zlib.crc32(plain), len(plain), 8)\n"
                    "d = b''.join(central(b'f%d' % i, len(kernel), len(plain), zlib.crc32(plain),"
                    " 0, 8) for i in range(20))\n"
                    "open('out.zip', 'wb').write(out + d + end(20, d, len(out)))\n",
                    57},
        OverlapCase{"data_running_over_the_next_entry",
                    "first = local(b'a.txt', b'A' * 10, comp=100)\n"
                    "second = local(b'b.txt', b'B' * 100)\n"
                    "out = first + second\n"
                    "d = central(b'a.txt', 100, 10, zlib.crc32(b'A' * 10), 0)"
                    " + central(b'b.txt', 100, 100, zlib.crc32(b'B' * 100), len(first))\n"
                    "open('out.zip', 'wb').write(out + d + end(2, d, len(out)))\n",
                    71},
        OverlapCase{"data_running_over_an_entry_listed_before_it",
                    "first = local(b'a.txt', b'A' * 10, comp=100)\n"
                    "second = local(b'b.txt', b'B' * 100)\n"
                    "out = first + second\n"
                    "d = central(b'b.txt', 100, 100, zlib.crc32(b'B' * 100), len(first))"
                    " + central(b'a.txt', 100, 10, zlib.crc32(b'A' * 10), 0)\n"
                    "open('out.zip', 'wb').write(out + d + end(2, d, len(out)))\n",
                    71},
        // Only the local header's extra length tells: the central entries are sound. The
        // header at the start, and one read apart from it behind 300 KiB of data.
        OverlapCase{"local_extra_field_running_over_the_next_entry",
                    "first = bytearray(local(b'a.txt', b'A' * 10))\n"
                    "first[28:30] = struct.pack('<H', 200)\n"
                    "second = local(b'b.txt', b'B' * 100)\n"
                    "out = bytes(first) + second\n"
                    "d = central(b'a.txt', 10, 10, zlib.crc32(b'A' * 10), 0)"
                    " + central(b'b.txt', 100, 100, zlib.crc32(b'B' * 100), len(first))\n"
                    "open('out.zip', 'wb').write(out + d + end(2, d, len(out)))\n",
                    71},
        OverlapCase{"local_extra_field_behind_a_large_entry",
                    "big = b'A' * 300000\n"
                    "first = local(b'a.txt', big)\n"
                    "second = local(b'b.txt', b'B' * 100)\n"
                    "third = bytearray(local(b'c.txt', b'C' * 10))\n"
                    "third[28:30] = struct.pack('<H', 300)\n"
                    "fourth = local(b'd.txt', big)\n"
                    "out = first + second + bytes(third) + fourth\n"
                    "at = [0, len(first), len(first) + len(second),"
                    " len(first) + len(second) + len(third)]\n"
                    "d = central(b'a.txt', len(big), len(big), zlib.crc32(big), at[0])"
                    " + central(b'b.txt', 100, 100, zlib.crc32(b'B' * 100), at[1])"
                    " + central(b'c.txt', 10, 10, zlib.crc32(b'C' * 10), at[2])"
                    " + central(b'd.txt', len(big), len(big), zlib.crc32(big), at[3])\n"
                    "open('out.zip', 'wb').write(out + d + end(4, d, len(out)))\n",
                    71},
        // An entry count of 0xFFFF without Zip64 records sends the load to the rebuild from
        // local headers, even strictly.
        OverlapCase{"rebuilt_from_local_headers",
                    "first = local(b'a.txt', b'A' * 10, comp=100)\n"
                    "second = local(b'b.txt', b'B' * 100)\n"
                    "out = first + second\n"
                    "d = central(b'a.txt', 10, 10, zlib.crc32(b'A' * 10), 0)\n"
                    "e = bytearray(end(1, d, len(out)))\n"
                    "e[8:12] = b'\\xff\\xff\\xff\\xff'\n"
                    "open('out.zip', 'wb').write(out + d + bytes(e))\n",
                    71}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OverlappingItems, RebuildOfManyEntriesWithoutZip64StillLoads) {
  ScratchDir dir;
  WriteFixture(dir,
               "out = b''\n"
               "d = b''\n"
               "for i in range(3):\n"
               "  d += central(b'f%d' % i, 4, 4, zlib.crc32(b'data'), len(out))\n"
               "  out += local(b'f%d' % i, b'data')\n"
               "e = bytearray(end(3, d, len(out)))\n"
               "e[8:12] = b'\\xff\\xff\\xff\\xff'\n"
               "open('out.zip', 'wb').write(out + d + bytes(e))\n");
  ZipArchiver archiver;
  archiver.SetOpenCorruptedArchives(false);
  OpenForReading(archiver, dir / "out.zip");
  EXPECT_EQ(archiver.DMHandle()->CDir.Count(), 3);
  archiver.TestFiles(u"*.*", kAll, u"");
  EXPECT_TRUE(archiver.LastRunComplete());
}

// b.txt's offset points at 64 bytes of other data in front of its real header: it is refused,
// not decoded from there; a.txt still extracts.
TEST(LocalHeaderCheck, AnOffsetThatMissesTheHeaderFailsTheItem) {
  ScratchDir dir;
  WriteFixture(dir,
               "first = local(b'a.txt', b'first')\n"
               "junk = b'J' * 64\n"
               "second = local(b'b.txt', b'second')\n"
               "out = first + junk + second\n"
               "d = central(b'a.txt', 5, 5, zlib.crc32(b'first'), 0)"
               " + central(b'b.txt', 6, 6, zlib.crc32(b'second'), len(first))\n"
               "open('out.zip', 'wb').write(out + d + end(2, d, len(out)))\n");
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "out.zip");
  std::u16string text;
  archiver.ExtractToString(u"a.txt", text);
  EXPECT_EQ(text, u"first");
  try {
    archiver.ExtractToString(u"b.txt", text);
    FAIL() << "decoded from the wrong bytes";
  } catch (const ArchiveError& e) {
    EXPECT_EQ(e.NativeError(), 72);
    EXPECT_NE(e.Message().find(u"b.txt"), std::u16string::npos);
  }
  std::vector<int> failures;
  archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string&, ProcessOperation,
                                      int native, int, const std::u16string&, Action& action) {
    failures.push_back(native);
    action = Action::fxaIgnore;
  };
  archiver.TestFiles(u"*.*", kAll, u"");
  EXPECT_EQ(failures, std::vector<int>{72});
}

// unzip, Python and 7-Zip read the second of two concatenated archives; so does the engine,
// taking the first for a stub.
TEST(ConcatenatedArchives, TheSecondIsReadAndTheFirstIsAStub) {
  ScratchDir dir;
  WriteFixture(dir,
               "def make(entries):\n"
               "  b = io.BytesIO()\n"
               "  with zipfile.ZipFile(b, 'w') as z:\n"
               "    for name, data, method in entries:\n"
               "      z.writestr(name, data, compress_type=method)\n"
               "  return b.getvalue()\n"
               "one = make([('one.txt', b'first archive ' * 40, zipfile.ZIP_DEFLATED)])\n"
               "two = make([('folder/', b'', zipfile.ZIP_STORED),\n"
               "            ('two.txt', b'second archive ' * 40, zipfile.ZIP_DEFLATED),\n"
               "            ('three.bin', bytes(range(200)), zipfile.ZIP_STORED)])\n"
               "open('out.zip', 'wb').write(one + two)\n"
               "open('first.zip', 'wb').write(one)\n");
  const auto first_size = static_cast<std::int64_t>(ReadFile(dir / "first.zip").size());
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "out.zip");
  EXPECT_EQ(archiver.DMHandle()->StubSize(), first_size);
  EXPECT_EQ(archiver.DMHandle()->CDir.Count(), 3);
  archiver.TestFiles(u"*.*", kAll, u"");
  EXPECT_TRUE(archiver.LastRunComplete());
  std::u16string text;
  archiver.ExtractToString(u"two.txt", text);
  EXPECT_EQ(text.substr(0, 15), u"second archive ");
}

// A ZIP entry whose version-needed field claims the alternate format's rules is still checked:
// a wrong CRC fails, stored or deflated, whatever the version says.
TEST(VersionNeeded, HighValuesSwitchNoCheckOff) {
  for (const char* version : {"20", "0x4114", "0xFFFF"}) {
    for (const char* method : {"0", "8"}) {
      SCOPED_TRACE(std::string("version ") + version + ", method " + method);
      ScratchDir dir;
      WriteFixture(dir, std::string("v, m = ") + version + ", " + method +
                            "\n"
                            "plain = b'checked data ' * 10\n"
                            "data = deflate(plain) if m == 8 else plain\n"
                            "bad = zlib.crc32(plain) ^ 1\n"
                            "out = local(b'x.txt', data, bad, len(plain), m, v)\n"
                            "d = central(b'x.txt', len(data), len(plain), bad, 0, m, v)\n"
                            "open('out.zip', 'wb').write(out + d + end(1, d, len(out)))\n");
      ZipArchiver archiver;
      OpenForReading(archiver, dir / "out.zip");
      platform::MemoryStream out;
      try {
        archiver.ExtractToStream(u"x.txt", out);
        FAIL() << "a wrong CRC passed";
      } catch (const ArchiveError& e) {
        EXPECT_EQ(e.NativeError(), 8);
      }
    }
  }
}

}  // namespace
}  // namespace qm::archive::testing
