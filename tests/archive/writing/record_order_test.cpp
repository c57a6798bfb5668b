// Commits on archives whose records do not lie in the order of their directory, and on
// archives whose names repeat: whatever one entry goes through (deleted, renamed, replaced,
// given attributes or a comment), every other entry keeps its own data, the directory keeps
// its order, and other tools read the result.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive_error.h"
#include "archive/directory/dir_manager.h"
#include "extract_helpers.h"
#include "fixture_tools.h"
#include "record_view.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::time_t kWhen = 1700000000;
constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;

// reordered.zip: records a, b, c, d in the file, listed d, b, a, c in the directory.
// dups.zip: two entries named dup.txt with different data, among others.
const char* kFixtures = R"(
import warnings
warnings.simplefilter('ignore')  # the duplicate name is meant
def write(path, entries, order=None):
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        for name, text in entries:
            z.writestr(name, text)
        if order:
            z.filelist[:] = [z.filelist[i] for i in order]
write('reordered.zip', [(n + '.txt', n * 300) for n in 'abcd'], order=(3, 1, 0, 2))
write('dups.zip', [('first.txt', 'f' * 200), ('dup.txt', 'one ' * 100),
                   ('mid.txt', 'm' * 200), ('dup.txt', 'two ' * 100), ('last.txt', 'l' * 200)])
)";

// Name, comment and data of every entry in the directory's order, as Python's zipfile reads
// them (which also checks that each local header carries its central entry's name).
using Entries = std::vector<std::vector<std::string>>;

Entries EntriesAsRead(const fs::path& archive) {
  const CommandResult r = RunShell(
      "python3 -c \"import zipfile,sys\nz = zipfile.ZipFile(sys.argv[1])\nfor i in "
      "z.infolist(): print(i.filename, i.comment.decode(), z.read(i).decode(), sep='|')\" '" +
          archive.filename().string() + "'",
      archive.parent_path());
  EXPECT_EQ(r.exit_code, 0) << r.output;
  Entries entries;
  std::istringstream lines(r.output);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream parts(line);
    for (std::string field; std::getline(parts, field, '|');) fields.push_back(field);
    entries.push_back(fields);
  }
  return entries;
}

std::vector<std::string> Entry(const std::string& name, const std::string& data,
                               const std::string& comment = "") {
  return {name, comment, data};
}

// The engine's own test of every entry: the failures it reports.
int EngineTestFailures(const fs::path& archive) {
  ZipArchiver archiver;
  int failures = 0;
  archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string&, ProcessOperation, int,
                                      int, const std::u16string&, Action& action) {
    ++failures;
    action = Action::fxaIgnore;
  };
  OpenForReading(archiver, archive);
  archiver.TestFiles(u"*.*", kAll, u"");
  return failures;
}

struct OrderCase {
  std::string label;
  std::string archive;
  std::function<void(ZipArchiver&)> change;
  Entries expected;
};

const std::string kA(300, 'a'), kB(300, 'b'), kC(300, 'c'), kD(300, 'd');
std::string Repeat(const std::string& text, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += text;
  return out;
}
const std::string kOne = Repeat("one ", 100), kTwo = Repeat("two ", 100);
const std::string kF(200, 'f'), kM(200, 'm'), kL(200, 'l');

std::vector<OrderCase> OrderCases() {
  return {
      {"DeleteTheFirstRecord",
       "reordered.zip",
       [](ZipArchiver& a) { a.DeleteFiles(u"a.txt", kAll, u""); },
       {Entry("d.txt", kD), Entry("b.txt", kB), Entry("c.txt", kC)}},
      {"DeleteARecordListedLast",
       "reordered.zip",
       [](ZipArchiver& a) { a.DeleteFiles(u"c.txt", kAll, u""); },
       {Entry("d.txt", kD), Entry("b.txt", kB), Entry("a.txt", kA)}},
      {"CommentOnOne",
       "reordered.zip",
       [](ZipArchiver& a) { a.ChangeFilesComment(u"b.txt", "note"); },
       {Entry("d.txt", kD), Entry("b.txt", kB, "note"), Entry("a.txt", kA), Entry("c.txt", kC)}},
      {"AttributesOfOne",
       "reordered.zip",
       [](ZipArchiver& a) { a.ChangeFilesAttr(u"c.txt", 0x21); },
       {Entry("d.txt", kD), Entry("b.txt", kB), Entry("a.txt", kA), Entry("c.txt", kC)}},
      {"RenameOne",
       "reordered.zip",
       [](ZipArchiver& a) { a.RenameFile(u"b.txt", u"z.txt"); },
       {Entry("d.txt", kD), Entry("z.txt", kB), Entry("a.txt", kA), Entry("c.txt", kC)}},
      {"ReplaceOne",
       "reordered.zip",
       [](ZipArchiver& a) { a.AddFromString(u"b.txt", u"new b", 0x20, kWhen); },
       {Entry("d.txt", kD), Entry("b.txt", "new b"), Entry("a.txt", kA), Entry("c.txt", kC)}},
      {"AddOne",
       "reordered.zip",
       [](ZipArchiver& a) { a.AddFromString(u"e.txt", u"new e", 0x20, kWhen); },
       {Entry("d.txt", kD), Entry("b.txt", kB), Entry("a.txt", kA), Entry("c.txt", kC),
        Entry("e.txt", "new e")}},
      {"DeleteBeforeTheDuplicates",
       "dups.zip",
       [](ZipArchiver& a) { a.DeleteFiles(u"first.txt", kAll, u""); },
       {Entry("dup.txt", kOne), Entry("mid.txt", kM), Entry("dup.txt", kTwo),
        Entry("last.txt", kL)}},
      {"DeleteBetweenTheDuplicates",
       "dups.zip",
       [](ZipArchiver& a) { a.DeleteFiles(u"mid.txt", kAll, u""); },
       {Entry("first.txt", kF), Entry("dup.txt", kOne), Entry("dup.txt", kTwo),
        Entry("last.txt", kL)}},
      {"RenameADuplicate",
       "dups.zip",
       [](ZipArchiver& a) { a.RenameFile(u"dup.txt", u"one.txt"); },
       {Entry("first.txt", kF), Entry("one.txt", kOne), Entry("mid.txt", kM),
        Entry("dup.txt", kTwo), Entry("last.txt", kL)}},
      {"RenameOntoADuplicatedName",
       "dups.zip",
       [](ZipArchiver& a) { a.RenameFile(u"first.txt", u"dup.txt"); },
       {Entry("dup.txt", kF), Entry("dup.txt", kOne), Entry("mid.txt", kM), Entry("dup.txt", kTwo),
        Entry("last.txt", kL)}},
      {"CommentOnTheLast",
       "dups.zip",
       [](ZipArchiver& a) { a.ChangeFilesComment(u"last.txt", "note"); },
       {Entry("first.txt", kF), Entry("dup.txt", kOne), Entry("mid.txt", kM),
        Entry("dup.txt", kTwo), Entry("last.txt", kL, "note")}},
  };
}

class RecordOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(RecordOrder, EveryOtherEntryKeepsItsDataAndEveryToolReadsTheResult) {
  const OrderCase& c = GetParam();
  ScratchDir dir;
  MakeZip(dir.path(), kFixtures);
  const fs::path archive = dir / c.archive;
  {
    ZipArchiver archiver;
    archiver.SetFileName(dir.U16(c.archive));
    archiver.OpenArchive();
    c.change(archiver);
    archiver.CloseArchive();
  }
  EXPECT_EQ(EntriesAsRead(archive), c.expected);
  EXPECT_EQ(ToolsFindFault(archive), "");
  EXPECT_EQ(EngineTestFailures(archive), 0);
}

INSTANTIATE_TEST_SUITE_P(Changes, RecordOrder, ::testing::ValuesIn(OrderCases()),
                         [](const auto& info) { return info.param.label; });

// What changes only the directory moves no record, in whatever order the records lie; adding
// writes where the old directory started and leaves every old record where it was.
TEST(RecordOrder, DirectoryChangesAndAppendingLeaveEveryOldRecordInPlace) {
  const std::vector<std::function<void(ZipArchiver&)>> changes = {
      [](ZipArchiver& a) { a.ChangeFilesComment(u"b.txt", "note"); },
      [](ZipArchiver& a) { a.ChangeFilesAttr(u"c.txt", 0x21); },
      [](ZipArchiver& a) { a.AddFromString(u"e.txt", u"new e", 0x20, kWhen); },
  };
  for (std::size_t k = 0; k < changes.size(); ++k) {
    SCOPED_TRACE(k);
    ScratchDir dir;
    MakeZip(dir.path(), kFixtures);
    const auto before = RecordDigests(dir / "reordered.zip");
    ZipArchiver archiver;
    archiver.SetFileName(dir.U16("reordered.zip"));
    archiver.OpenArchive();
    const std::int64_t old_directory = archiver.DMHandle()->CentralDirOffset();
    std::vector<std::uint64_t> offsets;
    const DirArray& entries = archiver.DMHandle()->CDir;
    for (std::int32_t i = 0; i < entries.Count(); ++i)
      offsets.push_back(entries.GetItem(i).LocalHeaderOffset());
    changes[k](archiver);
    for (std::int32_t i = 0; i < 4; ++i) {
      EXPECT_EQ(entries.GetItem(i).LocalHeaderOffset(), offsets[static_cast<std::size_t>(i)]);
    }
    if (entries.Count() > 4) {
      EXPECT_EQ(entries.GetItem(4).LocalHeaderOffset(), static_cast<std::uint64_t>(old_directory));
    }
    archiver.CloseArchive();
    const auto after = RecordDigests(dir / "reordered.zip");
    for (const auto& [name, digest] : before) EXPECT_EQ(after.at(name).local, digest.local) << name;
  }
}

// A merge that replaces an entry leaves the replacement's record behind every other one: the
// engine makes such archives itself, and its next commit must take them as they are.
TEST(RecordOrder, AMergedReplacementSurvivesTheNextCommit) {
  ScratchDir dir;
  MakeZip(dir.path(),
          "with zipfile.ZipFile('base.zip', 'w') as z:\n"
          "  z.writestr('A.txt', 'old A')\n"
          "  z.writestr('B.txt', 'B')\n"
          "with zipfile.ZipFile('other.zip', 'w') as z:\n"
          "  z.writestr('A.txt', 'merged A')\n");
  ZipArchiver archiver;
  archiver.SetFileName(dir.U16("base.zip"));
  archiver.OpenArchive();
  archiver.Options().OverwriteMode = OverwriteMode::omAlways;
  archiver.MergeWith(dir.U16("other.zip"));
  archiver.ChangeFilesComment(u"B.txt", "note");
  archiver.CloseArchive();
  EXPECT_EQ(EntriesAsRead(dir / "base.zip"),
            (Entries{Entry("A.txt", "merged A"), Entry("B.txt", "B", "note")}));
  EXPECT_EQ(ToolsFindFault(dir / "base.zip"), "");
  EXPECT_EQ(EngineTestFailures(dir / "base.zip"), 0);
}

}  // namespace
}  // namespace qm::archive::testing
