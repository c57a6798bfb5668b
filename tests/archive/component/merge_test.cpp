// Merging: the other archive's records arrive byte for byte behind this one's, names present
// in both go by the overwrite mode, a merge into itself or a cancelled copy changes nothing;
// and FastFileAppend.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/archive_error.h"
#include "archive/directory/dir_manager.h"
#include "fixture_tools.h"
#include "platform/memory_stream.h"
#include "record_view.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;

struct MergePair {
  ScratchDir dir;
  MergePair() {
    dir.MakeTree();
    MustRun("zip -qr this.zip a.txt docs", dir.path());
    dir.Write("x/only-other.txt", "other side\n");
    dir.Write("a.txt", "the other archive's a.txt\n");
    MustRun("7zz a -tzip -bd other.zip a.txt x empty.txt >/dev/null", dir.path());
  }
  fs::path This() const { return dir / "this.zip"; }
  fs::path Other() const { return dir / "other.zip"; }
};

std::string ContentOf(const fs::path& archive, const std::string& name) {
  const CommandResult r =
      RunShell("unzip -p '" + archive.string() + "' '" + name + "'", archive.parent_path());
  return r.output;
}

TEST(MergeWith, BringsTheOtherArchivesRecordsAsTheyAre) {
  MergePair p;
  const auto mine = RecordDigests(p.This());
  const auto theirs = RecordDigests(p.Other());
  const std::string other_bytes = ReadFile(p.Other());
  ZipArchiver archiver(u"Archiver1");
  archiver.SetFileName(p.dir.U16("this.zip"));
  archiver.OpenArchive();
  const auto cut = static_cast<std::uint64_t>(archiver.DMHandle()->CentralDirOffset());
  archiver.Options().OverwriteMode = OverwriteMode::omNever;
  archiver.MergeWith(p.dir.U16("other.zip"));
  std::int32_t i = -1;
  ASSERT_TRUE(archiver.DMHandle()->CDir.FileExists(u"x/only-other.txt", i));
  EXPECT_GT(archiver.DMHandle()->CDir.GetItem(i).LocalHeaderOffset(), cut);
  archiver.CloseArchive();

  const auto merged = RecordDigests(p.This());
  for (const auto& [name, digest] : mine) EXPECT_EQ(merged.at(name), digest) << name;
  for (const auto& [name, digest] : theirs) {
    if (mine.count(name)) continue;  // kept: omNever
    ASSERT_EQ(merged.count(name), 1u) << name;
    EXPECT_EQ(merged.at(name).local, digest.local) << name;
  }
  EXPECT_EQ(ContentOf(p.This(), "a.txt"), "hello, archive\n");
  EXPECT_EQ(ReadFile(p.Other()), other_bytes);
  EXPECT_EQ(ToolsFindFault(p.This()), "");
}

TEST(MergeWith, NamesInBothArchivesGoByTheOverwriteMode) {
  struct Case {
    OverwriteMode mode;
    bool answer;  // for omPrompt
    std::string a_txt;
    bool other_only_merged;
  };
  const Case cases[] = {
      {OverwriteMode::omAlways, false, "the other archive's a.txt\n", true},
      {OverwriteMode::omNever, false, "hello, archive\n", true},
      {OverwriteMode::omPrompt, true, "the other archive's a.txt\n", true},
      // The first refusal ends the merge of the directory: nothing after it comes in.
      {OverwriteMode::omPrompt, false, "hello, archive\n", false},
  };
  for (const Case& c : cases) {
    MergePair p;
    ZipArchiver archiver(u"Archiver1");
    archiver.SetFileName(p.dir.U16("this.zip"));
    archiver.OpenArchive();
    archiver.Options().OverwriteMode = c.mode;
    int asked = 0;
    archiver.OnConfirmOverwrite = [&](BaseArchiver&, const std::u16string&, std::u16string&,
                                      bool& confirm) {
      ++asked;
      confirm = c.answer;
    };
    archiver.MergeWith(p.dir.U16("other.zip"));
    archiver.CloseArchive();
    EXPECT_EQ(asked, c.mode == OverwriteMode::omPrompt ? 1 : 0);
    EXPECT_EQ(ContentOf(p.This(), "a.txt"), c.a_txt);
    EXPECT_EQ(RecordDigests(p.This()).count("x/only-other.txt"), c.other_only_merged ? 1u : 0u);
    EXPECT_EQ(ToolsFindFault(p.This()), "");
  }
}

TEST(MergeWith, IntoItselfOrCancelledLeavesTheFileAsItWas) {
  MergePair p;
  const std::string before = ReadFile(p.This());
  ZipArchiver archiver(u"Archiver1");
  archiver.SetFileName(p.dir.U16("this.zip"));
  archiver.OpenArchive();
  try {
    archiver.MergeWith(p.dir.U16("./this.zip"));
    ADD_FAILURE() << "merged into itself";
  } catch (const ArchiveError& e) {
    EXPECT_TRUE(e.Is(ErrorSite::kMergeIntoItself)) << Utf8(e.Message());
  }
  archiver.OnFileProgress = [](BaseArchiver&, const std::u16string&, double, ProcessOperation,
                               ProgressPhase phase,
                               bool& cancel) { cancel = phase == ProgressPhase::ppProcess; };
  const std::int32_t count = archiver.DMHandle()->CDir.Count();
  archiver.MergeWith(p.dir.U16("other.zip"));
  EXPECT_TRUE(archiver.ProgressCancelled());
  EXPECT_EQ(archiver.DMHandle()->CDir.Count(), count);
  archiver.BeginUpdate();
  EXPECT_THROW(archiver.MergeWith(p.dir.U16("other.zip")), ArchiveError);  // native 26
  archiver.CancelUpdate();
  archiver.CloseArchive();
  EXPECT_EQ(ReadFile(p.This()), before);
}

TEST(FastFileAppend, CopiesInBlocksAndACancelIsNotComplete) {
  ZipArchiver archiver;
  platform::MemoryStream out(std::vector<unsigned char>{'x'});
  std::vector<unsigned char> data((1 << 20) + 1);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 7);
  platform::MemoryStream in(data);
  EXPECT_TRUE(archiver.FastFileAppend(out, in, u"in"));
  ASSERT_EQ(out.Data().size(), data.size() + 1);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out.Data().begin() + 1));

  int blocks = 0;
  archiver.OnOverallProgress = [&](BaseArchiver&, double, ProcessOperation, ProgressPhase phase,
                                   bool&) { blocks += phase == ProgressPhase::ppProcess; };
  EXPECT_TRUE(archiver.FastFileAppend(out, in, u"in"));
  EXPECT_EQ(blocks, 2);

  archiver.OnOverallProgress = [](BaseArchiver&, double, ProcessOperation, ProgressPhase phase,
                                  bool& cancel) { cancel = phase == ProgressPhase::ppProcess; };
  platform::MemoryStream cancelled;
  EXPECT_FALSE(archiver.FastFileAppend(cancelled, in, u"in"));
}

}  // namespace
}  // namespace qm::archive::testing
