// The component itself: settings, the open/close lifecycle, update counters and guards.
#include <gtest/gtest.h>

#include <clocale>
#include <stdexcept>

#include "archive/archive_error.h"
#include "fixture_tools.h"
#include "native_error.h"
#include "platform/file_stream.h"
#include "platform/memory_stream.h"
#include "platform/stream_errors.h"

namespace qm::archive::testing {
namespace {

TEST(ComponentSettings, CompressionLevelAndModeFollowEachOther) {
  ZipArchiver z;
  EXPECT_EQ(z.CompressionMode(), 1);
  EXPECT_EQ(z.CompressionMethod(), 8);
  struct Case {
    std::uint8_t mode;
    CompressionLevel level;
  };
  for (const Case c : {Case{0, CompressionLevel::clNone}, Case{3, CompressionLevel::clFastest},
                       Case{5, CompressionLevel::clNormal}, Case{7, CompressionLevel::clMax}}) {
    z.SetCompressionMode(c.mode);
    EXPECT_EQ(z.CompressionLevel(), c.level);
    EXPECT_EQ(z.CompressionMethod(), c.mode == 0 ? 0 : 8);
  }
  z.SetCompressionLevel(CompressionLevel::clNormal);
  EXPECT_EQ(z.CompressionMode(), 6);
  EXPECT_EQ(NativeErrorOf([&] { z.SetCompressionMode(10); }), 5);
  EXPECT_EQ(z.CompressionMode(), 6);
  EXPECT_EQ(z.CompressionLevel(), CompressionLevel::clNormal);
  BaseArchiver base;
  EXPECT_EQ(base.CompressionMethod(), 0xFFFF);
  EXPECT_EQ(base.Zip64Mode(), Zip64Mode::zmAuto);
  EXPECT_EQ(z.Zip64Mode(), Zip64Mode::zmDisabled);
}

TEST(ComponentSettings, DefaultsAndFixedValues) {
  ZipArchiver z;
  EXPECT_TRUE(z.OpenCorruptedArchives());
  EXPECT_EQ(z.Options().SearchAttr, 0x28BF);
  EXPECT_TRUE(z.Options().OEMFileNames);
  EXPECT_EQ(z.Options().OverwriteMode, OverwriteMode::omAlways);
  EXPECT_EQ(z.EncryptionMethod(), CryptoAlgorithm::caPkzipClassic);
  std::setlocale(LC_NUMERIC, "C.UTF-8");
  EXPECT_EQ(z.CurrentVersion(), u"5.05 ");
  z.SpanningOptions().SetCustomVolumeSize(1000);
  EXPECT_EQ(z.SpanningOptions().CustomVolumeSize(), 65536);
  z.SpanningOptions().SetVolumeSize(VolumeSize::vs1_44MB);
  VolumeNumberInfo first;
  first.SetFirstVolume(true);
  EXPECT_EQ(z.SpanningOptions().GetVolumeSize(first), 1457664);
  z.SpanningOptions().SetFirstVolumeSize(5);
  EXPECT_EQ(z.SpanningOptions().GetVolumeSize(first), 5);
}

TEST(ComponentLifecycle, GuardsAndOpenErrorsCarryTheComponentName) {
  ScratchDir dir;
  ZipArchiver z(u"Archiver1");
  try {
    z.Size();
    FAIL();
  } catch (const ArchiveError& e) {
    EXPECT_EQ(e.ErrorCode(), 7);
    EXPECT_STREQ(e.what(), "Archiver1: Archive is not open - Native error: 00013");
  }
  EXPECT_EQ(NativeErrorOf([&] { z.FileCount(); }), 13);
  EXPECT_EQ(NativeErrorOf([&] { z.SetComment("x"); }), 13);
  EXPECT_EQ(NativeErrorOf([&] { z.OpenArchive(); }), 9);
  z.SetFileName(dir.U16("missing.zip"));
  try {
    z.OpenArchive(0);
    FAIL();
  } catch (const ArchiveError& e) {
    EXPECT_EQ(e.NativeError(), 12);
    EXPECT_NE(std::string(e.what()).find("missing.zip\" not found"), std::string::npos);
  }
  dir.Write("exists.zip", "");
  z.SetFileName(dir.U16("exists.zip"));
  z.SetInMemory(true);
  EXPECT_EQ(NativeErrorOf([&] { z.OpenArchive(0x0040); }), 28);
  EXPECT_FALSE(z.Active());
}

TEST(ComponentLifecycle, OpeningAMissingFileCreatesAnEmptyArchive) {
  ScratchDir dir;
  int after_open = 0;
  {
    ZipArchiver z;
    z.AfterOpen = [&](BaseArchiver&) { ++after_open; };
    z.SetFileName(dir.U16("new.zip"));
    z.SetActive(true);
    EXPECT_EQ(z.FileOpenMode(), 0xFF00);
    EXPECT_EQ(z.FileCount(), 0);
  }  // destruction closes and writes the empty directory
  EXPECT_EQ(after_open, 1);
  EXPECT_EQ(PythonView(dir / "new.zip").entries.size(), 0u);
  EXPECT_EQ(ReadFile(dir / "new.zip").size(), 22u);
  ZipArchiver again;
  again.SetFileName(dir.U16("new.zip"));
  again.OpenArchive();
  EXPECT_EQ(again.FileOpenMode(), 0x0022);
  EXPECT_EQ(again.Size(), 22);
}

TEST(ComponentLifecycle, ReadOnlyFallbackRefusesUpdates) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun("zip -q -r out.zip a.txt docs", dir.path());
  // Another holder writing the file: the archive can only be opened read-only.
  platform::FileStream writer(dir.U16("out.zip"), 0x0002 | 0x0040);
  ZipArchiver z;
  z.SetFileName(dir.U16("out.zip"));
  z.OpenArchive();
  EXPECT_EQ(z.FileOpenMode(), 0x0040);
  EXPECT_EQ(z.FileCount(), 3);  // a.txt, docs/b.txt, docs/sub/c.bin
  EXPECT_EQ(NativeErrorOf([&] { z.BeginUpdate(); }), 32);
  EXPECT_FALSE(z.InUpdate());
  EXPECT_THROW(z.SetSpanningMode(SpanningMode::smSpanning), std::runtime_error);
  // Read-only without sharing while someone has it open is the stream's own error.
  ZipArchiver exclusive;
  exclusive.SetFileName(dir.U16("out.zip"));
  EXPECT_THROW(exclusive.OpenArchive(0), platform::FileOpenError);
}

TEST(ComponentLifecycle, UpdateCountersNest) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun("zip -q out.zip a.txt", dir.path());
  ZipArchiver z;
  z.SetFileName(dir.U16("out.zip"));
  z.BeginUpdate();  // opens the archive
  EXPECT_TRUE(z.Active());
  z.BeginUpdate();
  z.EndUpdate();
  EXPECT_TRUE(z.InUpdate());
  EXPECT_EQ(NativeErrorOf([&] { z.SetCompressionMode(12); }), 5);
  z.EndUpdate();
  EXPECT_FALSE(z.InUpdate());
  z.BeginUpdate();
  z.CancelUpdate();
  EXPECT_FALSE(z.InUpdate());
  const std::string before = ReadFile(dir / "out.zip");
  z.CloseArchive();
  EXPECT_EQ(ReadFile(dir / "out.zip"), before);
}

TEST(ComponentLifecycle, CallersStreamIsReadAndNotOwned) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun("zip -q -r out.zip a.txt docs", dir.path());
  const std::string bytes = ReadFile(dir / "out.zip");
  platform::MemoryStream stream(std::vector<unsigned char>(bytes.begin(), bytes.end()));
  {
    ZipArchiver z;
    z.OpenArchive(stream, false);
    EXPECT_TRUE(z.IsCustomStream());
    EXPECT_EQ(z.FileCount(), 3);
    EXPECT_THROW(z.SetSpanningMode(SpanningMode::smNone), std::runtime_error);
  }
  EXPECT_EQ(stream.Size(), static_cast<std::int64_t>(bytes.size()));
  // A new archive in a caller's stream is its empty directory; the comment is written at once.
  {
    ZipArchiver z;
    z.OpenArchive(stream, true);
    EXPECT_EQ(stream.Size(), 22);
    z.SetComment("made in memory");
    EXPECT_EQ(stream.Size(), 22 + 14);
  }
  WriteFile(dir / "memory.zip", stream.ToString());
  EXPECT_EQ(PythonView(dir / "memory.zip").comment, "made in memory");
  ZipArchiver spanning;
  spanning.SetSpanningMode(SpanningMode::smSplitting);
  EXPECT_EQ(NativeErrorOf([&] { spanning.OpenArchive(stream, false); }), 51);
}

// The directory of an archive with items cannot be written yet: a new comment is refused before
// the comment in memory or the file changes, in a transaction or outside one.
TEST(ComponentLifecycle, CommentIsWrittenAtOnceOutsideATransactionAndAtTheCommitInside) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun("zip -q -r out.zip a.txt && echo kept | zip -q -z out.zip", dir.path());
  ZipArchiver z;
  z.SetFileName(dir.U16("out.zip"));
  z.OpenArchive();
  ASSERT_EQ(z.Comment(), "kept");
  z.SetComment("changed");
  EXPECT_EQ(PythonView(dir / "out.zip").comment, "changed");
  z.BeginUpdate();
  z.SetComment("in a transaction");
  EXPECT_EQ(PythonView(dir / "out.zip").comment, "changed");
  z.EndUpdate();
  EXPECT_EQ(PythonView(dir / "out.zip").comment, "in a transaction");
  // Cancelled: the comment in memory goes back with the directory.
  z.BeginUpdate();
  z.SetComment("dropped");
  z.CancelUpdate();
  EXPECT_EQ(z.Comment(), "in a transaction");
  z.CloseArchive();
  MustRun("unzip -tq out.zip", dir.path());
}

TEST(ComponentLifecycle, MemoryArchiveMovesToItsFile) {
  ScratchDir dir;
  ZipArchiver z;
  z.SetInMemory(true);
  z.OpenArchive();
  EXPECT_EQ(z.FileOpenMode(), 0xFF00);
  z.SetFileName(dir.U16("saved.zip"));
  z.SetInMemory(false);
  EXPECT_TRUE(z.Active());
  EXPECT_FALSE(z.InMemory());
  EXPECT_EQ(z.FileOpenMode(), 0x0022);
  z.CloseArchive();
  EXPECT_EQ(PythonView(dir / "saved.zip").entries.size(), 0u);
  z.SetInMemory(true);
  z.SetInMemory(false);  // closed: only the setting changes
  EXPECT_FALSE(z.Active());
}

TEST(ComponentLifecycle, FileCountLeavesFoldersOut) {
  ScratchDir dir;
  MustRunPython(
      "import zipfile\n"
      "with zipfile.ZipFile('out.zip', 'w') as z:\n"
      "  z.writestr('one.txt', '1')\n"
      "  z.writestr('dir/', '')\n"
      "  z.writestr('dir/two.txt', '2')\n",
      dir.path());
  ZipArchiver z;
  z.SetFileName(dir.U16("out.zip"));
  z.OpenArchive();
  EXPECT_EQ(z.FileCount(), 2);
}

}  // namespace
}  // namespace qm::archive::testing
