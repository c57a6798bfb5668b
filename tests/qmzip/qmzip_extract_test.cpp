// `qmzip extract` and `qmzip test` run as programs, without a terminal (the documented
// non-interactive answers) and on a pseudo-terminal (the prompts).
#include <gtest/gtest.h>

#include "extract_helpers.h"
#include "qmzip_command.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;

// The usual tree zipped as tree.zip, plus bad.zip whose docs/b.txt is damaged.
void MakeArchives(const ScratchDir& dir) {
  dir.MakeTree();
  MustRun("zip -q -r tree.zip a.txt empty.txt docs && cp tree.zip bad.zip", dir.path());
  DamageEntry(dir / "bad.zip", "docs/b.txt");
}

TEST(QmzipExtract, ExtractsEverythingAndSaysSo) {
  ScratchDir dir;
  MakeArchives(dir);
  const CommandResult r = Qmzip(dir, "extract tree.zip -d out");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output, "Extracted 6 of 6 items\n");  // quiet: no progress without a terminal
  EXPECT_EQ(DiffWithZipfile(dir / "tree.zip", dir / "out"), "");
}

TEST(QmzipExtract, MasksExclusionsAndOverwriteModes) {
  struct Case {
    const char* args;
    int exit_code;
    const char* summary;
    const char* a_txt;  // content of out/a.txt afterwards ("" when absent)
  };
  const Case cases[] = {
      // Nobody to ask: existing files are kept, which is no failure.
      {"extract tree.zip -d out", 0, "Extracted 4 of 6 items; 2 passed over\n", "old"},
      {"extract tree.zip -d out --overwrite never", 0, "Extracted 4 of 6 items; 2 passed over\n",
       "old"},
      {"extract tree.zip -d out --overwrite always", 0, "Extracted 6 of 6 items\n",
       "hello, archive\n"},
      {"extract tree.zip a.txt -d out --overwrite always", 0, "Extracted 1 of 1 items\n",
       "hello, archive\n"},
      {"extract tree.zip '*.bin' -d out", 0, "Extracted 1 of 1 items\n", "old"},
      {"extract tree.zip -d out -x '*.txt' --overwrite always", 0, "Extracted 3 of 3 items\n",
       "old"},
  };
  ScratchDir dir;
  MakeArchives(dir);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    fs::remove_all(dir / "out");
    dir.Write("out/a.txt", "old");
    dir.Write("out/empty.txt", "old");
    const CommandResult r = Qmzip(dir, c.args);
    EXPECT_EQ(r.exit_code, c.exit_code);
    EXPECT_EQ(r.output, c.summary);
    EXPECT_EQ(ReadFile(dir / "out/a.txt"), c.a_txt);
  }
}

TEST(QmzipExtract, DamagedItemFailsTheRunAndNamesTheItem) {
  ScratchDir dir;
  MakeArchives(dir);
  const CommandResult r = Qmzip(dir, "extract bad.zip -d out");
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.output.find("qmzip: " + NativeSeparators("docs/b.txt") + ": "), std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("Native error: 00008"), std::string::npos) << r.output;
  // Without a terminal a failure aborts: what follows the damaged item is not extracted.
  EXPECT_NE(r.output.find("failed or skipped"), std::string::npos) << r.output;
  EXPECT_FALSE(fs::exists(dir / "out/docs/b.txt"));
  EXPECT_FALSE(fs::exists(dir / "out/docs/sub/c.bin"));

  const CommandResult missing = Qmzip(dir, "extract nothing.zip");
  EXPECT_EQ(missing.exit_code, 2);
}

TEST(QmzipTest, ReportsIntactAndDamagedArchives) {
  ScratchDir dir;
  MakeArchives(dir);
  const CommandResult good = Qmzip(dir, "test tree.zip");
  EXPECT_EQ(good.exit_code, 0);
  EXPECT_EQ(good.output, "Tested 6 of 6 items\n");
  const CommandResult bad = Qmzip(dir, "test bad.zip");
  EXPECT_EQ(bad.exit_code, 1);
  EXPECT_NE(bad.output.find("qmzip: " + NativeSeparators("docs/b.txt") + ": "), std::string::npos)
      << bad.output;
  const CommandResult one = Qmzip(dir, "test bad.zip a.txt");
  EXPECT_EQ(one.exit_code, 0) << one.output;
}

// On a terminal the questions are asked; `script` gives the program a pseudo-terminal and
// feeds it the typed answers.
TEST(QmzipTerminal, AsksAboutOverwritesAndFailures) {
  if (!QM_PSEUDO_TERMINAL_TESTS) GTEST_SKIP() << "no pseudo-terminal for qmzip here";
  ScratchDir dir;
  MakeArchives(dir);
  if (RunShell("command -v script", dir.path()).exit_code != 0) GTEST_SKIP() << "no script";
  dir.Write("out/a.txt", "old");
  dir.Write("out/empty.txt", "old");
  auto on_terminal = [&](const std::string& typed, const std::string& args) {
    return RunShell(
        "printf '" + typed + "' | script -qec \"'" + kQmzip + "' " + args + "\" /dev/null",
        dir.path());
  };
  // "x" is no answer and is asked again; "n" keeps a.txt, "A" overwrites the rest.
  const CommandResult r = on_terminal("x\\nn\\nA\\n", "extract tree.zip -d out");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_NE(r.output.find("[y]es, [n]o, [A]ll, [N]one?"), std::string::npos) << r.output;
  EXPECT_EQ(ReadFile(dir / "out/a.txt"), "old");
  EXPECT_EQ(ReadFile(dir / "out/empty.txt"), "");
  EXPECT_NE(r.output.find("Extracted 5 of 6 items; 1 passed over"), std::string::npos);

  // Ignore the damaged item and go on with the rest.
  const CommandResult f = on_terminal("i\\n", "extract bad.zip -d out2");
  EXPECT_EQ(f.exit_code, 1);
  EXPECT_NE(f.output.find("File processing error, possibly disk is full"), std::string::npos)
      << f.output;
  EXPECT_NE(f.output.find("[a]bort, [r]etry, [i]gnore?"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "out2/docs/sub/c.bin"));
  EXPECT_FALSE(fs::exists(dir / "out2/docs/b.txt"));
}

}  // namespace
}  // namespace qm::archive::testing
