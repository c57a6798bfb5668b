// No command destroys its own inputs: an output that is an input under another name (a hard
// link, a symbolic link, "./") is refused with exit status 2, and a failed command removes only
// what it made itself. Every file that stood before stands afterwards, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>

#include "extract_helpers.h"
#include "qmzip_command.h"

namespace qm::archive::testing {
namespace {

TEST(QmzipOwnInputs, AnOutputThatIsAnInputIsRefusedAndNothingIsLost) {
  struct Case {
    std::string setup;  // shell commands run after a.zip, stub and the tree are made
    std::string args;
    std::string says;  // part of what qmzip prints
  };
  const std::string stub = "stub";
  const Case cases[] = {
      {"", "repair a.zip ./a.zip", "is an input"},
      {"ln a.zip hard.zip", "repair a.zip hard.zip", "is an input"},
      {"ln -s a.zip soft.zip", "repair a.zip soft.zip", "is an input"},
      {"ln -s a.zip soft.zip", "repair soft.zip a.zip", "is an input"},
      // Nothing was read: the output that stood stays.
      {"cp a.zip keep.zip", "repair missing.zip keep.zip", "missing.zip"},
      {"", "sfx a.zip a.zip", "is an input"},
      {"ln a.zip hard.zip", "sfx a.zip hard.zip", "is an input"},
      {"", "sfx a.zip stub --stub stub", "is an input"},
      {"ln -s stub soft", "sfx a.zip soft --stub stub", "is an input"},
      {"ln stub hard", "sfx a.zip ./hard --stub stub", "is an input"},
      // A failed self-extractor leaves the file it was to replace.
      {"cp a.zip keep.run && printf MZ > sfx.zip && cat a.zip >> sfx.zip",
       "sfx sfx.zip keep.run --stub stub", "stub"},
      {"ln a.zip hard.zip", "merge a.zip hard.zip", "into itself"},
      {"ln -s a.zip soft.zip", "merge soft.zip a.zip", "into itself"},
      // The first volume would be named like the set: the last one would be renamed over it.
      {"head -c 200000 /dev/urandom > docs/noise.bin", "add x.z01 -r docs --split 64k", "x.z01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    ScratchDir dir;
    dir.MakeTree();
    MustRun("zip -q -r a.zip a.txt docs && head -c 3000 /dev/urandom > stub", dir.path());
    if (!c.setup.empty()) MustRun(c.setup, dir.path());
    const auto before = FilesWithContent(dir.path());
    const CommandResult r = Qmzip(dir, c.args);
    EXPECT_EQ(r.exit_code, 2) << r.output;
    EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
    EXPECT_EQ(FilesWithContent(dir.path()), before);
  }
}

TEST(QmzipOwnInputs, NeitherExtractNorASelfExtractorWritesOverItsOwnArchive) {
  ScratchDir dir;
  MustRun(
      "mkdir in && echo beta > in/b.txt && echo item > in/arc.run && "
      "cd in && zip -q ../arc.zip b.txt arc.run",
      dir.path());
  ASSERT_EQ(Qmzip(dir, "sfx arc.zip arc.run").exit_code, 0);
  const std::string sfx = ReadFile(dir / "arc.run");
  // The self-extractor unpacks beside itself: its item arc.run is itself.
  const CommandResult self = RunShell(
      std::string(PROGRAM_LAUNCHER) + "./arc.run --overwrite always < /dev/null", dir.path());
  EXPECT_EQ(self.exit_code, 1) << self.output;
  EXPECT_NE(self.output.find("is an input"), std::string::npos) << self.output;
  EXPECT_EQ(ReadFile(dir / "arc.run"), sfx);
  EXPECT_EQ(ReadFile(dir / "b.txt"), "beta\n");
  // And qmzip on an archive that holds an item of its own name.
  MustRun(
      "cd in && zip -q ../own.zip b.txt && cd .. && cp own.zip in/own.zip && "
      "cd in && zip -q ../own.zip own.zip",
      dir.path());
  const std::string own = ReadFile(dir / "own.zip");
  const CommandResult extract = Qmzip(dir, "extract own.zip -d . --overwrite always");
  EXPECT_EQ(extract.exit_code, 1) << extract.output;
  EXPECT_EQ(ReadFile(dir / "own.zip"), own);
}

}  // namespace
}  // namespace qm::archive::testing
