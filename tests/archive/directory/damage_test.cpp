// Damaged archives and archives behind stubs: each damage gives its error, or a directory
// rebuilt from the local headers when OpenCorruptedArchives is on; nothing reads past the
// file whatever a field claims.
#include <gtest/gtest.h>

#include <functional>

#include "archive/archive_error.h"
#include "fixture_tools.h"
#include "platform/memory_stream.h"
#include "platform/stream_errors.h"

namespace qm::archive::testing {
namespace {

constexpr std::uint16_t kReadOnly = 0x0040;

std::size_t FindBytes(const std::string& data, const std::string& what) {
  const auto at = data.find(what);
  EXPECT_NE(at, std::string::npos);
  return at;
}

const std::string kCentralSig("PK\x01\x02", 4);
const std::string kEndSig("PK\x05\x06", 4);

void Put16(std::string& data, std::size_t at, std::uint16_t v) {
  data[at] = static_cast<char>(v);
  data[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& data, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) data[at + i] = static_cast<char>(v >> (8 * i));
}

// The parts of an entry that a rebuild from local headers recovers.
struct Recovered {
  std::string name, crc, time;
  std::uint64_t size, compressed, offset;
  int method;
  bool operator==(const Recovered&) const = default;
};
std::vector<Recovered> Recoverable(const ArchiveView& view) {
  std::vector<Recovered> out;
  for (const auto& e : view.entries) {
    out.push_back({e.name, e.crc, e.time, e.size, e.compressed, e.offset, e.method});
  }
  return out;
}

struct DamageCase {
  const char* name;
  std::function<void(std::string&)> damage;
  int native_error;  // with OpenCorruptedArchives off; 0: a stream read error
};

void PrintTo(const DamageCase& c, std::ostream* os) {
  *os << c.name;
}

class DamagedArchive : public ::testing::TestWithParam<DamageCase> {
 protected:
  void SetUp() override {
    dir_.MakeTree();
    MustRun("zip -q -r out.zip a.txt empty.txt docs", dir_.path());
    intact_ = PythonView(dir_ / "out.zip");
    std::string data = ReadFile(dir_ / "out.zip");
    GetParam().damage(data);
    WriteFile(dir_ / "damaged.zip", data);
  }
  ScratchDir dir_;
  ArchiveView intact_;
};

TEST_P(DamagedArchive, FailsWithItsErrorWhenCorruptedArchivesAreRefused) {
  ZipArchiver archiver(u"Archiver1");
  archiver.SetOpenCorruptedArchives(false);
  archiver.SetFileName(dir_.U16("damaged.zip"));
  if (GetParam().native_error == 0) {
    EXPECT_THROW(archiver.OpenArchive(kReadOnly), platform::ReadError);
  } else {
    try {
      archiver.OpenArchive(kReadOnly);
      FAIL() << "opened";
    } catch (const ArchiveError& e) {
      EXPECT_EQ(e.NativeError(), GetParam().native_error) << e.what();
    }
  }
  EXPECT_FALSE(archiver.Active());
  EXPECT_EQ(archiver.DMHandle(), nullptr);
}

TEST_P(DamagedArchive, IsRebuiltFromLocalHeadersWhenCorruptedArchivesAreOpened) {
  ZipArchiver archiver;
  const ArchiveView rebuilt = EngineView(archiver, dir_ / "damaged.zip");
  EXPECT_EQ(Recoverable(rebuilt), Recoverable(intact_));
}

INSTANTIATE_TEST_SUITE_P(
    Damage, DamagedArchive,
    ::testing::Values(
        // The end record's comment length (0) no longer reaches the end of the file.
        DamageCase{"junk_after_end_record", [](std::string& d) { d += "0123456789"; }, 48},
        DamageCase{"directory_cut_off",
                   [](std::string& d) { d.resize(FindBytes(d, kCentralSig) + 60); }, 48},
        DamageCase{"bytes_missing_inside_directory",
                   [](std::string& d) { d.erase(FindBytes(d, kCentralSig) + 10, 7); }, 48},
        DamageCase{"directory_overwritten",
                   [](std::string& d) {
                     const auto at = FindBytes(d, kCentralSig);
                     const auto end = FindBytes(d, kEndSig);
                     for (auto i = at; i < end; ++i) d[i] = 'X';
                   },
                   48},
        DamageCase{"entry_count_beyond_the_file",
                   [](std::string& d) { Put16(d, FindBytes(d, kEndSig) + 10, 60000); }, 0},
        DamageCase{"name_length_beyond_the_file",
                   [](std::string& d) {
                     const auto last = d.rfind(kCentralSig);
                     Put16(d, last + 28, 0xFFFF);
                   },
                   0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DamagedArchive, FileWithoutAnyZipRecord) {
  ScratchDir dir;
  dir.Write("text.zip", std::string(5000, 't'));
  dir.Write("tiny.zip", "PK\x05\x06");
  for (const char* name : {"text.zip", "tiny.zip"}) {
    for (const bool corrupted : {false, true}) {
      ZipArchiver archiver;
      archiver.SetOpenCorruptedArchives(corrupted);
      archiver.SetFileName(dir.U16(name));
      try {
        archiver.OpenArchive(kReadOnly);
        FAIL() << name << " opened";
      } catch (const ArchiveError& e) {
        EXPECT_EQ(e.NativeError(), corrupted ? 35 : 48) << name;
      }
    }
  }
}

// A failure that is not damage, here memory running out while the directory is read, reaches
// the caller: it is no reason to rebuild the directory from the local headers.
TEST(DamagedArchive, FailureOtherThanDamageIsNotTakenForDamage) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun("zip -q -r out.zip a.txt docs", dir.path());
  const std::string data = ReadFile(dir / "out.zip");
  class FailingAt final : public platform::MemoryStream {
   public:
    FailingAt(const std::string& data, std::int64_t at)
        : MemoryStream(std::vector<unsigned char>(data.begin(), data.end())), at_(at) {}
    std::size_t Read(void* buffer, std::size_t count) override {
      if (Position() == at_) throw std::bad_alloc();
      return MemoryStream::Read(buffer, count);
    }

   private:
    std::int64_t at_;
  };
  FailingAt stream(data, static_cast<std::int64_t>(FindBytes(data, kCentralSig)));
  ZipArchiver archiver;
  archiver.SetOpenCorruptedArchives(true);
  EXPECT_THROW(archiver.OpenArchive(stream, false), std::bad_alloc);
  EXPECT_FALSE(archiver.Active());
}

TEST(DamagedArchive, Zip64LocatorWithoutItsRecordFailsEitherWay) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun("zip -q out.zip a.txt", dir.path());
  std::string data = ReadFile(dir / "out.zip");
  const auto end = FindBytes(data, kEndSig);
  std::string locator("PK\x06\x07", 4);
  locator += std::string(16, '\0');
  Put32(locator, 8, 3);  // points into the first local header
  data.insert(end, locator);
  WriteFile(dir / "out.zip", data);
  for (const bool corrupted : {false, true}) {
    ZipArchiver archiver;
    archiver.SetOpenCorruptedArchives(corrupted);
    archiver.SetFileName(dir.U16("out.zip"));
    try {
      archiver.OpenArchive(kReadOnly);
      FAIL() << "opened";
    } catch (const ArchiveError& e) {
      EXPECT_EQ(e.NativeError(), 40);
    }
  }
}

// Strictly refused by the sum of sizes; tolerated, the directory is loaded as it stands unless
// the size now makes the entry's bytes run over the entries after it (refused as overlapping).
TEST(DamagedArchive, SizesAddingUpBeyondTheFile) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun("zip -q -r plain.zip a.txt docs/b.txt", dir.path());
  const std::string plain = ReadFile(dir / "plain.zip");
  for (const bool last : {false, true}) {
    SCOPED_TRACE(last ? "last entry" : "first entry");
    std::string data = plain;
    const auto entry = last ? data.rfind(kCentralSig) : FindBytes(data, kCentralSig);
    Put32(data, entry + 20, 0x7FFFFFF0);
    WriteFile(dir / "out.zip", data);
    ZipArchiver strict;
    strict.SetOpenCorruptedArchives(false);
    strict.SetFileName(dir.U16("out.zip"));
    try {
      strict.OpenArchive(kReadOnly);
      FAIL() << "opened";
    } catch (const ArchiveError& e) {
      EXPECT_EQ(e.NativeError(), 57);
      EXPECT_EQ(e.ErrorCode(), 27);
    }
    ZipArchiver lenient;
    if (last) {
      const ArchiveView view = EngineView(lenient, dir / "out.zip");
      ASSERT_EQ(view.entries.size(), 2u);
      EXPECT_EQ(view.entries[1].compressed, 0x7FFFFFF0u);
    } else {
      lenient.SetFileName(dir.U16("out.zip"));
      try {
        lenient.OpenArchive(kReadOnly);
        FAIL() << "opened";
      } catch (const ArchiveError& e) {
        EXPECT_EQ(e.NativeError(), 71);
      }
    }
  }
}

// zipfile itself takes the signature in the comment for the record, so the expected view
// comes from the same archive without its comment.
TEST(DamagedArchive, CommentHoldingTheEndSignatureIsNotTakenForTheRecord) {
  ScratchDir dir;
  MustRunPython(
      "import zipfile\n"
      "for name, comment in (('plain.zip', b''), ('out.zip', b'PK\\x05\\x06' + b'\\x00' * 30)):\n"
      "  with zipfile.ZipFile(name, 'w') as z:\n"
      "    z.writestr(zipfile.ZipInfo('a.txt', (2020, 1, 2, 3, 4, 6)), 'x')\n"
      "    z.comment = comment\n",
      dir.path());
  ArchiveView expected = PythonView(dir / "plain.zip");
  expected.comment = std::string("PK\x05\x06", 4) + std::string(30, '\0');
  EXPECT_EQ(EngineView(dir / "out.zip"), expected);
}

class StubbedArchive : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.MakeTree();
    MustRun(
        "zip -q -r plain.zip a.txt docs && head -c 4096 /dev/zero | tr '\\0' S > stub.bin"
        " && cat stub.bin plain.zip > out.zip",
        dir_.path());
    plain_ = PythonView(dir_ / "plain.zip");
  }
  std::int64_t StubSize() {
    ZipArchiver archiver;
    archiver.SetFileName(dir_.U16("out.zip"));
    archiver.OpenArchive(kReadOnly);
    return archiver.DMHandle()->StubSize();
  }
  ScratchDir dir_;
  ArchiveView plain_;
};

TEST_F(StubbedArchive, UnadjustedOffsetsOfFilesMoveByTheStub) {
  EXPECT_EQ(StubSize(), 4096);
  const ArchiveView view = EngineView(dir_ / "out.zip");
  ASSERT_EQ(view.entries.size(), plain_.entries.size());
  for (std::size_t i = 0; i < view.entries.size(); ++i) {
    const bool folder = view.entries[i].name.ends_with('/');
    // Folder entries keep their stored offsets.
    EXPECT_EQ(view.entries[i].offset, plain_.entries[i].offset + (folder ? 0 : 4096))
        << view.entries[i].name;
  }
}

TEST_F(StubbedArchive, AdjustedOffsetsStayAsStored) {
  MustRun("zip -q -A out.zip", dir_.path());
  EXPECT_EQ(StubSize(), 4096);
  EXPECT_EQ(EngineView(dir_ / "out.zip"), PythonView(dir_ / "out.zip"));
}

TEST(StubbedEmptyArchive, EverythingBeforeTheEndRecordIsStub) {
  ScratchDir dir;
  MustRunPython(
      "import zipfile\n"
      "with open('out.zip', 'wb') as f:\n"
      "  f.write(b'S' * 100)\n"
      "  zipfile.ZipFile(f, 'w').close()\n",
      dir.path());
  ZipArchiver archiver;
  archiver.SetFileName(dir.U16("out.zip"));
  archiver.OpenArchive(kReadOnly);
  EXPECT_EQ(archiver.DMHandle()->StubSize(), 100);
  EXPECT_EQ(archiver.DMHandle()->CDir.Count(), 0);
}

}  // namespace
}  // namespace qm::archive::testing
