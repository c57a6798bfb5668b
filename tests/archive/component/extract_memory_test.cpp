// Extraction to streams, buffers and strings, testing items, and the archive check.
#include <gtest/gtest.h>

#include "archive/archive_error.h"
#include "extract_helpers.h"
#include "platform/memory_stream.h"
#include "platform/stream_errors.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;

// six.bin holds 1..6 (stored); ansi.txt holds 0x41 0xE9; long.bin holds 3 MiB whose byte i is
// ((i mod 4096) * 7 + i / 4096) mod 251, deflated so that it spans several decoder chunks.
void MakeMemoryArchive(const ScratchDir& dir) {
  MakeZip(dir.path(),
          "base = bytes((k * 7) % 251 for k in range(4096))\n"
          "data = b''.join(base.translate(bytes((v + j) % 251 for v in range(256)))\n"
          "                for j in range(768))\n"
          "with zipfile.ZipFile('mem.zip', 'w') as z:\n"
          "  z.writestr('six.bin', bytes([1, 2, 3, 4, 5, 6]))\n"
          "  z.writestr('ansi.txt', b'A\\xe9')\n"
          "  z.writestr('dir/long.bin', data, compress_type=zipfile.ZIP_DEFLATED)\n");
}

std::uint8_t LongByte(std::int64_t i) {
  return static_cast<std::uint8_t>(((i % 4096) * 7 + i / 4096) % 251);
}

TEST(ExtractToBuffer, WindowsOfTheItem) {
  struct Case {
    const char* label;
    std::u16string name;
    std::int64_t start;
    std::int32_t count;
    bool read_error;
  };
  const Case cases[] = {
      {"middle of a small item", u"six.bin", 3, 2, false},
      {"whole small item", u"six.bin", 0, 6, false},
      {"first bytes", u"six.bin", 0, 5, false},
      {"past the end", u"six.bin", 0, 10, true},
      {"window reaching past the end", u"six.bin", 4, 3, true},
      {"window across the first decoder chunk", u"dir/long.bin", (1 << 20) - 5, 10, false},
      {"window in the last chunk", u"dir/long.bin", (3 << 20) - 7, 7, false},
      {"window at the start of a big item", u"dir/long.bin", 0, 10, false},
      {"wildcards take the first match", u"dir/*.bin", 100, 4, false},
  };
  ScratchDir dir;
  MakeMemoryArchive(dir);
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "mem.zip");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(c.count), 0xEE);
    if (c.read_error) {
      EXPECT_THROW(archiver.ExtractToBuffer(c.name, buffer.data(), c.count, c.start),
                   platform::ReadError);
      continue;
    }
    archiver.ExtractToBuffer(c.name, buffer.data(), c.count, c.start);
    std::vector<std::uint8_t> expected;
    for (std::int64_t i = c.start; i < c.start + c.count; ++i) {
      expected.push_back(c.name == u"six.bin" ? static_cast<std::uint8_t>(i + 1) : LongByte(i));
    }
    EXPECT_EQ(buffer, expected);
  }
  EXPECT_TRUE(archiver.Options().Recurse);  // restored
}

TEST(ExtractToBuffer, CountZeroVerifiesTheWholeItemAndCopiesNothing) {
  ScratchDir dir;
  MakeMemoryArchive(dir);
  DamageEntry(dir / "mem.zip", "dir/long.bin");
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "mem.zip");
  std::uint8_t untouched = 0xEE;
  archiver.ExtractToBuffer(u"six.bin", &untouched, 0, 0);
  EXPECT_EQ(untouched, 0xEE);
  try {
    archiver.ExtractToBuffer(u"dir/long.bin", &untouched, 0, 0);
    FAIL() << "damage not seen";
  } catch (const ArchiveError& e) {
    EXPECT_EQ(e.NativeError(), 8);
  }
  // A window ahead of the damage decodes without checks.
  std::uint8_t head[4];
  archiver.ExtractToBuffer(u"dir/long.bin", head, 4, 0);
  EXPECT_EQ(head[3], LongByte(3));
}

TEST(ExtractToString, ReadsTheBytesAsAnsi) {
  ScratchDir dir;
  MakeMemoryArchive(dir);
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "mem.zip");
  std::u16string text;
  archiver.ExtractToString(u"ansi.txt", text);
  EXPECT_EQ(text, u"A\u00E9");
}

TEST(ExtractToStream, AppendsAtThePositionWithEventsAndNames15WhenMissing) {
  ScratchDir dir;
  MakeMemoryArchive(dir);
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "mem.zip");
  std::vector<std::string> events;
  archiver.OnOverallProgress = [&](BaseArchiver&, double, ProcessOperation operation,
                                   ProgressPhase phase, bool&) {
    EXPECT_EQ(operation, ProcessOperation::poExtract);
    if (phase != ProgressPhase::ppProcess)
      events.push_back(phase == ProgressPhase::ppStart ? "overall start" : "overall end");
  };
  archiver.OnFileProgress = [&](BaseArchiver&, const std::u16string& name, double, ProcessOperation,
                                ProgressPhase phase, bool&) {
    if (phase != ProgressPhase::ppProcess) events.push_back(Utf8(name));
  };
  platform::MemoryStream stream;
  stream.WriteBuffer("xy", 2);
  archiver.ExtractToStream(u"six.bin", stream);
  EXPECT_EQ(stream.ToString(), std::string("xy\x01\x02\x03\x04\x05\x06", 8));
  EXPECT_EQ(events,
            (std::vector<std::string>{"overall start", "six.bin", "six.bin", "overall end"}));

  events.clear();
  try {
    archiver.ExtractToStream(u"missing.bin", stream);
    FAIL();
  } catch (const ArchiveError& e) {
    EXPECT_EQ(e.NativeError(), 15);
    EXPECT_NE(e.Message().find(u"missing.bin"), std::u16string::npos);
  }
  EXPECT_EQ(events, std::vector<std::string>{"overall start"});
}

TEST(TestFiles, IntactArchivePassesAndDamagedItemsReachTheFailureEvent) {
  ScratchDir dir;
  MakeMemoryArchive(dir);
  ZipArchiver archiver;
  OpenForReading(archiver, dir / "mem.zip");
  std::vector<std::pair<std::string, int>> failures;
  archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string& name,
                                      ProcessOperation operation, int native, int,
                                      const std::u16string&, Action&) {
    EXPECT_EQ(operation, ProcessOperation::poTest);
    failures.emplace_back(Utf8(name), native);
  };
  archiver.TestFiles(u"*.*", kAll, u"");
  EXPECT_TRUE(failures.empty());
  EXPECT_TRUE(archiver.LastRunComplete());
  EXPECT_EQ(archiver.ProcessedFileNo(), 3);
  archiver.CloseArchive();

  DamageEntry(dir / "mem.zip", "dir/long.bin");
  DamageEntry(dir / "mem.zip", "six.bin");
  OpenForReading(archiver, dir / "mem.zip");
  archiver.TestFiles();  // FileMasks empty: nothing tagged
  EXPECT_EQ(archiver.ProcessedFileCount(), 0);
  archiver.SetFileMasks({u"*.*"});
  archiver.TestFiles();
  EXPECT_EQ(failures, (std::vector<std::pair<std::string, int>>{
                          {"six.bin", 8}, {NativeSeparators("dir/long.bin"), 8}}));
  EXPECT_EQ(archiver.IncompleteFileCount(), 2);
}

TEST(IsValidArchiveFile, AnswersForFilesOfEveryKind) {
  ScratchDir dir;
  MakeMemoryArchive(dir);
  dir.Write("text.txt", "just some text, no archive at all\n");
  // The end records cut off: the directory is rebuilt from the local headers.
  MustRunPython(
      "data = open('mem.zip', 'rb').read()\n"
      "open('headless.zip', 'wb').write(data[:data.rfind(b'PK\\x01\\x02') - 1])\n"
      "cut = data[:data.find(b'PK\\x01\\x02')]\n"
      "b = bytearray(cut)\n"
      "b[len(b) // 2] ^= 0x55\n"
      "open('headless_damaged.zip', 'wb').write(bytes(b))\n",
      dir.path());
  struct Case {
    const char* file;
    bool valid;
  };
  const Case cases[] = {{"mem.zip", true},
                        {"missing.zip", false},
                        {"text.txt", false},
                        {"headless.zip", true},
                        {"headless_damaged.zip", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    ZipArchiver archiver;
    archiver.SetFileName(dir.U16(c.file));
    EXPECT_EQ(archiver.IsValidArchiveFile(), c.valid);
    EXPECT_FALSE(archiver.Active());
    EXPECT_TRUE(archiver.OpenCorruptedArchives());
  }
  ZipArchiver open;
  OpenForReading(open, dir / "mem.zip");
  EXPECT_TRUE(open.IsValidArchiveFile());
  EXPECT_TRUE(open.Active());
}

}  // namespace
}  // namespace qm::archive::testing
