// `qmzip add` run as a program: new and existing archives, its options, and what other tools
// read from the result.
#include <gtest/gtest.h>

#include "extract_helpers.h"
#include "java_client.h"
#include "qmzip_command.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
std::vector<std::string> NamesIn(const fs::path& archive) {
  std::vector<std::string> names;
  for (const EntryView& e : PythonView(archive).entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(QmzipAdd, MakesAnArchiveThatOtherToolsRead) {
  ScratchDir dir;
  dir.MakeTree();  // a.txt, empty.txt, docs/b.txt, docs/sub/c.bin
  const CommandResult r = Qmzip(dir, "add new.zip -r a.txt empty.txt docs");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output, "Added 6 of 6 items\n");
  MustRun("unzip -tq new.zip", dir.path());
  MustRun("mkdir out && cd out && unzip -q ../new.zip", dir.path());
  EXPECT_EQ(DiffWithZipfile(dir / "new.zip", dir / "out"), "");
  EXPECT_EQ(ReadFile(dir / "out/docs/b.txt"), ReadFile(dir / "docs/b.txt"));
}

TEST(QmzipAdd, Options) {
  struct Case {
    const char* args;
    std::vector<std::string> names;
    int method;  // of docs/b.txt or b.txt, -1: not checked
  };
  const Case cases[] = {
      {"add x.zip '*.txt'", {"a.txt", "empty.txt"}, -1},
      {"add x.zip -r '*.txt'", {"a.txt", "docs/b.txt", "empty.txt"}, 8},
      {"add x.zip -r -0 docs", {"docs/", "docs/b.txt", "docs/sub/", "docs/sub/c.bin"}, 0},
      {"add x.zip -r docs -x '*.bin'", {"docs/", "docs/b.txt", "docs/sub/"}, 8},
      {"add x.zip -r --base-dir docs '*.*'", {"b.txt", "sub/", "sub/c.bin"}, 8},
      {"add x.zip -r --store-path none docs/sub/c.bin docs/b.txt", {"b.txt", "c.bin"}, 8},
      // A path ending in a folder step names that folder; "." gives the contents of the base
      // folder (the archive, lying there, is left out).
      {"add x.zip -r .",
       {"a.txt", "docs/", "docs/b.txt", "docs/sub/", "docs/sub/c.bin", "empty.txt"},
       8},
      {"add x.zip -r ./",
       {"a.txt", "docs/", "docs/b.txt", "docs/sub/", "docs/sub/c.bin", "empty.txt"},
       8},
      {"add x.zip -r docs/.", {"docs/", "docs/b.txt", "docs/sub/", "docs/sub/c.bin"}, 8},
      {"add x.zip -r docs/", {"docs/", "docs/b.txt", "docs/sub/", "docs/sub/c.bin"}, 8},
      {"add x.zip -r --base-dir docs .", {"b.txt", "sub/", "sub/c.bin"}, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    ScratchDir dir;
    dir.MakeTree();
    const CommandResult r = Qmzip(dir, c.args);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(NamesIn(dir / "x.zip"), c.names);
    if (c.method >= 0) {
      for (const EntryView& e : PythonView(dir / "x.zip").entries) {
        if (e.name.ends_with("b.txt")) {
          EXPECT_EQ(e.method, c.method);
        }
      }
    }
  }
}

// A path names that file or folder alone (not its namesakes in subfolders); a mask with -r is
// looked for below too.
TEST(QmzipAdd, APathIsThatOneFileOrFolderAndAMaskSearchesBelow) {
  ScratchDir dir;
  dir.MakeTree();
  dir.Write("docs/sub/a.txt", "a below");
  dir.Write("sub/c.bin", "not docs/sub");
  const CommandResult named = Qmzip(dir, "add x.zip -r a.txt docs/sub");
  ASSERT_EQ(named.exit_code, 0) << named.output;
  EXPECT_EQ(NamesIn(dir / "x.zip"),
            (std::vector<std::string>{"a.txt", "docs/sub/", "docs/sub/a.txt", "docs/sub/c.bin"}));
  const CommandResult masked = Qmzip(dir, "add y.zip -r 'a.tx?'");
  ASSERT_EQ(masked.exit_code, 0) << masked.output;
  EXPECT_EQ(NamesIn(dir / "y.zip"), (std::vector<std::string>{"a.txt", "docs/sub/a.txt"}));
}

// A path that finds nothing is named on stderr and makes the run fail; the paths that found
// something are added all the same, and with none at all nothing is written.
TEST(QmzipAdd, APathThatFindsNothingFailsTheRunAndIsNamed) {
  struct Case {
    const char* args;
    const char* message;
    bool existing_archive;           // x.zip made by zip beforehand (it must stay as it was)
    std::vector<std::string> names;  // in x.zip afterwards; none: no x.zip at all
  };
  const Case cases[] = {
      {"nosuch.txt", "qmzip: nosuch.txt: no file or folder matches", false, {}},
      {"'*.none'", "qmzip: *.none: no file or folder matches", false, {}},
      {"-r nosuch", "qmzip: nosuch: no file or folder matches", false, {}},
      {"docs", "qmzip: docs: is a folder; add -r to take it", false, {}},
      {"a.txt nosuch.txt", "qmzip: nosuch.txt: no file or folder matches", false, {"a.txt"}},
      {"nosuch.txt", "qmzip: nosuch.txt: no file or folder matches", true, {"empty.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    ScratchDir dir;
    dir.MakeTree();
    if (c.existing_archive) MustRun("zip -q x.zip empty.txt", dir.path());
    const std::string before = c.existing_archive ? ReadFile(dir / "x.zip") : "";
    const CommandResult r = Qmzip(dir, std::string("add x.zip ") + c.args);
    EXPECT_EQ(r.exit_code, 1) << r.output;
    EXPECT_NE(r.output.find(std::string(c.message) + "\n"), std::string::npos) << r.output;
    if (c.names.empty()) {
      EXPECT_FALSE(fs::exists(dir / "x.zip"));
    } else {
      EXPECT_EQ(NamesIn(dir / "x.zip"), c.names);
    }
    if (c.existing_archive) {
      EXPECT_EQ(ReadFile(dir / "x.zip"), before);
    }
  }
}

TEST(QmzipAdd, GrowsAndReplacesInAnExistingArchive) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun("zip -q tree.zip a.txt empty.txt", dir.path());
  dir.Write("a.txt", "changed\n");
  dir.Write("new.txt", "new\n");
  const CommandResult r = Qmzip(dir, "add tree.zip a.txt new.txt");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(NamesIn(dir / "tree.zip"), (std::vector<std::string>{"a.txt", "empty.txt", "new.txt"}));
  MustRun("unzip -p tree.zip a.txt > got.txt", dir.path());
  EXPECT_EQ(ReadFile(dir / "got.txt"), "changed\n");
}

TEST(QmzipAdd, EncryptsWithTheClassicCipherOrAes) {
  ScratchDir dir;
  dir.MakeTree();
  ASSERT_EQ(Qmzip(dir, "add classic.zip -P secret a.txt docs/b.txt").exit_code, 0);
  MustRun("unzip -tq -P secret classic.zip", dir.path());
  EXPECT_NE(RunShell("unzip -tq -P wrong classic.zip", dir.path()).exit_code, 0);
  for (const char* bits : {"128", "192", "256"}) {
    SCOPED_TRACE(bits);
    const std::string name = std::string("aes") + bits + ".zip";
    ASSERT_EQ(
        Qmzip(dir, "add " + name + " --aes " + bits + " -P secret a.txt docs/b.txt").exit_code, 0);
    MustRun("7zz t -psecret " + name + " > /dev/null", dir.path());
    const CommandResult back = Qmzip(dir, "test " + name + " -P secret");
    EXPECT_EQ(back.exit_code, 0) << back.output;
  }
}

TEST(QmzipAdd, MoveDeletesTheSourcesOnceTheyAreIn) {
  ScratchDir dir;
  dir.MakeTree();
  const CommandResult r = Qmzip(dir, "add m.zip --move -r docs");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output, "Moved 4 of 4 items\n");
  EXPECT_FALSE(fs::exists(dir / "docs"));
  MustRun("unzip -tq m.zip", dir.path());
}

TEST(QmzipAdd, AnArchiveThatIsNoZipIsLeftAlone) {
  ScratchDir dir;
  dir.MakeTree();
  dir.Write("not.zip", "this is no archive");
  const CommandResult r = Qmzip(dir, "add not.zip a.txt");
  EXPECT_EQ(r.exit_code, 2) << r.output;
  EXPECT_EQ(ReadFile(dir / "not.zip"), "this is no archive");
}

// The client's class files, unpacked from the jar the game installs, packed again by qmzip:
// java runs the result.
TEST(QmzipAdd, AJarOfTheClientsClassFilesRuns) {
  ScratchDir dir;
  qm::testing::BuildClientJar(dir / "client.jar", "Packed Again", 1);
  MustRun("mkdir classes && cd classes && unzip -q ../client.jar", dir.path());
  const CommandResult r = Qmzip(dir, "add ours.jar -r --base-dir classes '*.*'");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const CommandResult run =
      RunShell("java -cp ours.jar net.quillmark.client.QuillmarkApplet", dir.path());
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output, "Packed Again\n");
}

}  // namespace
}  // namespace qm::archive::testing
