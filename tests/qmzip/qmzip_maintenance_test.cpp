// qmzip's commands that change archives, run as a program on archives zip made: what each
// prints, its exit status, and what the archive holds afterwards (read by Python's zipfile).
#include <gtest/gtest.h>

#include "extract_helpers.h"
#include "qmzip_command.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;

// Python's answer to `check` (an expression over the ZipFile z), printed.
std::string Ask(const ScratchDir& dir, const std::string& check) {
  return RunShell(
             "python3 -c 'import zipfile; z = zipfile.ZipFile(\"tree.zip\"); print(" + check + ")'",
             dir.path())
      .output;
}

TEST(QmzipMaintenance, CommandsChangeTheArchiveAndSaySo) {
  struct Case {
    std::string args;
    int exit_code;
    std::string summary;
    std::string check;     // a Python expression over z
    std::string expected;  // what it prints
    std::string setup;     // shell commands run first
  };
  const std::vector<Case> cases = {
      {"delete tree.zip '*.txt' -x 'docs/b.txt'", 0, "Deleted 2 of 2 items\n",
       "sorted(z.namelist())", "['docs/', 'docs/b.txt', 'docs/sub/', 'docs/sub/c.bin']\n"},
      {"delete tree.zip 'nothing*'", 0, "Deleted 0 of 0 items\n", "len(z.namelist())", "6\n"},
      {"rename tree.zip docs papers", 0, "Renamed 4 of 4 items\n", "sorted(z.namelist())",
       "['a.txt', 'empty.txt', 'papers/', 'papers/b.txt', 'papers/sub/', 'papers/sub/c.bin']\n"},
      {"rename tree.zip missing other", 2, "", "len(z.namelist())", "6\n"},
      {"attrib tree.zip a.txt +r -a", 0, "Changed 1 of 1 items\n",
       "hex(z.getinfo(\"a.txt\").external_attr & 0x21)", "0x1\n"},
      {"comment tree.zip --entry 'docs/*.txt' reviewed", 0, "Commented 1 of 1 items\n",
       "z.getinfo(\"docs/b.txt\").comment", "b'reviewed'\n"},
      {"merge tree.zip other.zip", 0, "Merged 1 of 2 items\n",
       "(z.read(\"a.txt\"), z.read(\"x.txt\"))", "(b'hello, archive\\n', b'other\\n')\n"},
      {"merge tree.zip other.zip --overwrite always", 0, "Merged 2 of 2 items\n",
       "z.read(\"a.txt\")", "b'replaced\\n'\n"},
      {"merge tree.zip tree.zip", 2, "", "len(z.namelist())", "6\n"},
      // zip -u: newer files replace their entries, new files come in.
      {"add tree.zip -u a.txt new.txt", 0, "Added 2 of 2 items\n",
       "(z.read(\"a.txt\"), z.read(\"new.txt\"))", "(b'changed\\n', b'new\\n')\n",
       "echo changed > a.txt && touch -d '+1 hour' a.txt && echo new > new.txt"},
      // zip -f: only the newer files, nothing new.
      {"add tree.zip -f", 0, "Freshened 1 of 6 items; 5 passed over\n",
       "(z.read(\"a.txt\"), \"new.txt\" in z.namelist())", "(b'changed\\n', False)\n",
       "echo changed > a.txt && touch -d '+1 hour' a.txt && echo new > new.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    ScratchDir dir;
    dir.MakeTree();
    MustRun("zip -q -r tree.zip a.txt empty.txt docs", dir.path());
    dir.Write("o/a.txt", "replaced\n");
    dir.Write("o/x.txt", "other\n");
    MustRun("cd o && zip -q ../other.zip a.txt x.txt", dir.path());
    if (!c.setup.empty()) MustRun(c.setup, dir.path());
    const CommandResult r = Qmzip(dir, c.args);
    EXPECT_EQ(r.exit_code, c.exit_code) << r.output;
    if (c.exit_code == 0) {
      EXPECT_EQ(r.output, c.summary);
    }
    EXPECT_EQ(Ask(dir, c.check), c.expected);
    EXPECT_EQ(RunShell("unzip -tqq tree.zip", dir.path()).exit_code, 0);
  }
}

TEST(QmzipMaintenance, RepairSavesWhatVerifiesAndSaysWhatItLeftOut) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun("zip -q -r tree.zip a.txt empty.txt docs", dir.path());
  DamageEntry(dir / "tree.zip", "docs/b.txt");
  const CommandResult r = Qmzip(dir, "repair tree.zip fixed.zip");
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_EQ(r.output, "Repaired 3 of 4 items; 1 damaged, left out\n");
  EXPECT_EQ(RunShell("unzip -tqq fixed.zip", dir.path()).exit_code, 0);
  EXPECT_EQ(Qmzip(dir, "repair missing.zip out.zip").exit_code, 2);
}

TEST(QmzipMaintenance, RepairStreamsAnEntryLargerThanTheMemoryItMayUse) {
  ScratchDir dir;
  // 512 MiB of zeros, deflated to half a megabyte.
  MustRunPython(
      "import zipfile\n"
      "with zipfile.ZipFile('big.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "  with z.open('zeros.bin', 'w', force_zip64=True) as f:\n"
      "    for _ in range(512): f.write(bytes(1 << 20))\n",
      dir.path());
  const std::string limit = "ulimit -v " + std::to_string(384 * 1024) + " && '" + kQmzip + "' ";
  // A build whose runtime reserves more address space than that (a sanitizer's) cannot say.
  if (RunShell(limit + "list big.zip", dir.path()).exit_code != 0) {
    GTEST_SKIP() << "qmzip does not start under the memory limit";
  }
  const CommandResult r = RunShell(limit + "repair big.zip out.zip < /dev/null", dir.path());
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output, "Repaired 1 of 1 items\n");
  EXPECT_EQ(RunShell("unzip -tqq out.zip", dir.path()).exit_code, 0);
}

}  // namespace
}  // namespace qm::archive::testing
