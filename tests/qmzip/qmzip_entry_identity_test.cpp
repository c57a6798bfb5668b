// qmzip's writing commands on archives whose records lie in another order than their
// directory (qmzip merge makes them) or whose names repeat, on names that differ only in
// case, and on names and comments too long for a ZIP record: nothing is lost, and what
// cannot be stored is refused with the archive left as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fixture_tools.h"
#include "platform/platform.h"
#include "qmzip_command.h"
#include "record_view.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;

// Python's answer to `check` (an expression over the ZipFile z of `archive`), printed.
std::string Ask(const ScratchDir& dir, const std::string& archive, const std::string& check) {
  return RunShell("python3 -W ignore -c 'import zipfile; z = zipfile.ZipFile(\"" + archive +
                      "\"); print(" + check + ")'",
                  dir.path())
      .output;
}

TEST(QmzipEntryIdentity, ChangesAfterAMergeKeepTheMergedEntries) {
  struct Case {
    std::string command;
    std::string names;  // z.namelist() afterwards
  };
  const Case cases[] = {
      {"comment base.zip --entry B.txt note", "['A.txt', 'B.txt', 'C.txt']"},
      {"delete base.zip C.txt", "['A.txt', 'B.txt']"},
      {"rename base.zip B.txt Z.txt", "['A.txt', 'Z.txt', 'C.txt']"},
      {"attrib base.zip B.txt +r", "['A.txt', 'B.txt', 'C.txt']"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    ScratchDir dir;
    dir.Write("A.txt", "old A\n");
    dir.Write("B.txt", "B\n");
    dir.Write("C.txt", "C\n");
    dir.Write("o/A.txt", "merged A\n");
    MustRun("zip -q base.zip A.txt B.txt C.txt && cd o && zip -q ../other.zip A.txt", dir.path());
    CommandResult r = Qmzip(dir, "merge base.zip other.zip --overwrite always");
    ASSERT_EQ(r.exit_code, 0) << r.output;
    r = Qmzip(dir, c.command);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(Ask(dir, "base.zip", "z.namelist()"), c.names + "\n");
    EXPECT_EQ(Ask(dir, "base.zip", "z.read(\"A.txt\")"), "b'merged A\\n'\n");
    r = Qmzip(dir, "test base.zip");
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(ToolsFindFault(dir / "base.zip"), "");
  }
}

TEST(QmzipEntryIdentity, EntriesSharingANameEachKeepTheirData) {
  const std::string commands[] = {"delete dups.zip first.txt", "rename dups.zip dup.txt one.txt",
                                  "comment dups.zip --entry last.txt note"};
  for (const std::string& command : commands) {
    SCOPED_TRACE(command);
    ScratchDir dir;
    MustRun(
        "python3 -W ignore -c \"import zipfile\nwith zipfile.ZipFile('dups.zip', 'w') as z:\n"
        "  for name, text in (('first.txt', 'f'), ('dup.txt', 'one'), ('mid.txt', 'm'), "
        "('dup.txt', 'two'), ('last.txt', 'l')): z.writestr(name, text)\"",
        dir.path());
    CommandResult r = Qmzip(dir, command);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    // Both data of the shared name are still there, each under its own entry.
    EXPECT_EQ(Ask(dir, "dups.zip", "sorted(z.read(i) for i in z.infolist())[-2:]"),
              "[b'one', b'two']\n");
    r = Qmzip(dir, "test dups.zip");
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(ToolsFindFault(dir / "dups.zip"), "");
  }
}

// On a file system where a.txt and A.txt are two files, the archive keeps both.
TEST(QmzipEntryIdentity, NamesDifferingInCaseAreKeptApartWhereFilesAre) {
  ScratchDir dir;
  dir.Write("A.txt", "upper\n");
  dir.Write("a.txt", "lower\n");
  if (!fs::exists(dir / "A.txt") || ReadFile(dir / "A.txt") != "upper\n") {
    GTEST_SKIP() << "this file system does not tell a.txt from A.txt";
  }
  const bool apart = platform::Platform::Current().FileNamesAreCaseSensitive();
  CommandResult r = Qmzip(dir, "add together.zip A.txt a.txt");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(Ask(dir, "together.zip", "sorted(z.namelist())"),
            apart ? "['A.txt', 'a.txt']\n" : "['a.txt']\n");
  MustRun("zip -q upper.zip A.txt", dir.path());
  r = Qmzip(dir, "add upper.zip a.txt");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(
      Ask(dir, "upper.zip", "sorted((i.filename, z.read(i)) for i in z.infolist())"),
      apart ? "[('A.txt', b'upper\\n'), ('a.txt', b'lower\\n')]\n" : "[('a.txt', b'lower\\n')]\n");
}

// A ZIP record counts the name and the comments in 16 bits: what is longer is refused before
// anything changes.
TEST(QmzipEntryIdentity, NamesAndCommentsTooLongForARecordAreRefused) {
  if (platform::kPathSeparator == u'\\') {
    GTEST_SKIP() << "a Windows command line holds at most 32767 characters: no such argument "
                    "reaches qmzip there (the engine's own test refuses such names everywhere)";
  }
  const std::string long_name(70000, 'n');
  const std::string long_text(70000, 'c');
  const std::string commands[] = {
      "rename x.zip a.txt " + long_name,
      "comment x.zip " + long_text,
      "comment x.zip --entry a.txt " + long_text,
  };
  for (const std::string& command : commands) {
    SCOPED_TRACE(command.substr(0, 30));
    ScratchDir dir;
    dir.Write("a.txt", "alpha\n");
    MustRun("zip -q x.zip a.txt", dir.path());
    const std::string before = ReadFile(dir / "x.zip");
    const CommandResult r = Qmzip(dir, command);
    EXPECT_EQ(r.exit_code, 2) << r.output.substr(0, 300);
    EXPECT_NE(r.output.find("too long"), std::string::npos) << r.output.substr(0, 300);
    EXPECT_EQ(ReadFile(dir / "x.zip"), before);
  }
}

}  // namespace
}  // namespace qm::archive::testing
