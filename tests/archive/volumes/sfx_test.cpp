// Self-extractors: a stub placed when the archive is made, and MakeSFX putting one in front of
// an existing archive; both read by the engine and by other tools with their offsets right.
#include <gtest/gtest.h>

#include <functional>

#include "archive/archive_error.h"
#include "archive/directory/dir_manager.h"
#include "extract_helpers.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;
const std::string kStub(1000, 'S');

void MakeArchive(const ScratchDir& dir) {
  MakeZip(dir.path(),
          "with zipfile.ZipFile('arc.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
          "  z.writestr('a.txt', 'alpha' * 100)\n"
          "  z.writestr('d/', '')\n"
          "  z.writestr('d/b.txt', 'beta' * 50)\n");
}

// The file opened by the engine, checked by unzip and 7zz, and extracted byte for byte.
void ExpectReadable(const ScratchDir& dir, const std::string& file, std::int64_t stub) {
  ZipArchiver archiver;
  OpenForReading(archiver, dir / file);
  ASSERT_EQ(archiver.DMHandle()->StubSize(), stub);
  EXPECT_EQ(archiver.DMHandle()->CDir.GetItem(0).LocalHeaderOffset(),
            static_cast<std::uint64_t>(stub));
  archiver.SetBaseDir(dir.U16("out_" + file));
  archiver.ExtractFiles(u"*.*", kAll, u"");
  EXPECT_TRUE(archiver.LastRunComplete());
  archiver.CloseArchive();
  EXPECT_EQ(ReadFile(dir / ("out_" + file) / "a.txt"), [] {
    std::string s;
    for (int i = 0; i < 100; ++i) s += "alpha";
    return s;
  }());
  MustRun("unzip -tqq " + file + " && 7zz t " + file + " > /dev/null", dir.path());
}

TEST(MakeSFX, PutsTheStubInFrontAndMovesTheOffsets) {
  ScratchDir dir;
  MakeArchive(dir);
  dir.Write("stub.bin", kStub);
  const std::string before = ReadFile(dir / "arc.zip");
  for (const bool open : {false, true}) {
    SCOPED_TRACE(open ? "archive open" : "archive closed");
    ZipArchiver archiver;
    archiver.SetFileName(dir.U16("arc.zip"));
    archiver.SetSFXStub(dir.U16("stub.bin"));
    if (open) archiver.OpenArchive();
    archiver.MakeSFX(dir.U16("arc.exe"));
    archiver.CloseArchive();
    EXPECT_EQ(ReadFile(dir / "arc.zip"), before);
    EXPECT_EQ(ReadFile(dir / "arc.exe").substr(0, kStub.size()), kStub);
    ExpectReadable(dir, "arc.exe", 1000);
  }
}

TEST(MakeSFX, RefusesWhatCannotBecomeASelfExtractor) {
  struct Case {
    const char* label;
    std::function<void(ZipArchiver&, const ScratchDir&)> setup;
    int native_error;
  };
  const Case cases[] = {
      {"no stub named", [](ZipArchiver&, const ScratchDir&) {}, 17},
      {"the stub file is missing",
       [](ZipArchiver& a, const ScratchDir& dir) { a.SetSFXStub(dir.U16("missing.bin")); }, 18},
      {"a split set",
       [](ZipArchiver& a, const ScratchDir& dir) {
         MustRun("head -c 200000 /dev/urandom > noise.bin && zip -q -s 64k set.zip noise.bin",
                 dir.path());
         a.SetSFXStub(dir.U16("stub.bin"));
         a.SetFileName(dir.U16("set.zip"));
         a.OpenArchive();
       },
       49},
      {"the archive has a stub already",
       [](ZipArchiver& a, const ScratchDir& dir) {
         a.SetSFXStub(dir.U16("stub.bin"));
         a.MakeSFX(dir.U16("first.exe"));
         a.SetFileName(dir.U16("first.exe"));
       },
       50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ScratchDir dir;
    MakeArchive(dir);
    dir.Write("stub.bin", kStub);
    ZipArchiver archiver;
    archiver.SetFileName(dir.U16("arc.zip"));
    c.setup(archiver, dir);
    try {
      archiver.MakeSFX(dir.U16("out.exe"));
      ADD_FAILURE() << "made";
    } catch (const ArchiveError& e) {
      EXPECT_EQ(e.NativeError(), c.native_error);
    }
    EXPECT_FALSE(fs::exists(dir / "out.exe"));
  }
}

TEST(SFXStub, ANewArchiveStartsWithTheStubAndOpensWithItsOffsetsRight) {
  ScratchDir dir;
  dir.Write("src/a.txt", [] {
    std::string s;
    for (int i = 0; i < 100; ++i) s += "alpha";
    return s;
  }());
  dir.Write("src/d/b.txt", "beta");
  dir.Write("stub.bin", kStub);
  ZipArchiver archiver;
  archiver.SetFileName(dir.U16("new.exe"));
  archiver.SetSFXStub(dir.U16("stub.bin"));
  archiver.SetBaseDir(dir.U16("src"));
  archiver.OpenArchive();
  archiver.AddFiles(u"*.*", kAll, u"");
  archiver.CloseArchive();
  EXPECT_EQ(ReadFile(dir / "new.exe").substr(0, kStub.size()), kStub);
  ExpectReadable(dir, "new.exe", 1000);
}

}  // namespace
}  // namespace qm::archive::testing
