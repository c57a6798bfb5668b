// `qmzip extract` and `qmzip test` on encrypted archives: the --password option, the
// non-interactive answer (skip) and the masked prompt on a terminal.
#include <gtest/gtest.h>

#include "fixture_tools.h"
#include "qmzip_command.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;

// classic.zip (Info-ZIP) and aes.zip (7-Zip, AES-256) hold the usual tree under "pa55 word".
void MakeArchives(const ScratchDir& dir) {
  dir.MakeTree();
  MustRun(
      "zip -q -r -P 'pa55 word' classic.zip a.txt docs"
      " && 7zz a -tzip '-ppa55 word' -mem=AES256 aes.zip a.txt docs > /dev/null",
      dir.path());
}

TEST(QmzipPassword, OptionOpensBothCiphersAndAWrongOneSkips) {
  ScratchDir dir;
  MakeArchives(dir);
  for (const std::string archive : {"classic.zip", "aes.zip"}) {
    SCOPED_TRACE(archive);
    fs::remove_all(dir / "out");
    const CommandResult ok = Qmzip(dir, "extract " + archive + " -d out --password 'pa55 word'");
    EXPECT_EQ(ok.exit_code, 0) << ok.output;
    EXPECT_EQ(ok.output, "Extracted 5 of 5 items\n");
    EXPECT_EQ(ReadFile(dir / "out/a.txt"), ReadFile(dir / "a.txt"));
    EXPECT_EQ(ReadFile(dir / "out/docs/sub/c.bin"), ReadFile(dir / "docs/sub/c.bin"));

    const CommandResult tested = Qmzip(dir, "test " + archive + " -P 'pa55 word'");
    EXPECT_EQ(tested.exit_code, 0) << tested.output;

    // Nobody to ask for another password: the encrypted files are skipped, none is written.
    // (One wrong classic password in 256 passes the check byte; the item then fails its CRC
    // and, nobody being there to answer, ends the run: then all 5 count as failed.)
    for (const std::string wrong : {"", " --password wrong"}) {
      fs::remove_all(dir / "out");
      const CommandResult skipped = Qmzip(dir, "extract " + archive + " -d out" + wrong);
      EXPECT_EQ(skipped.exit_code, 1) << skipped.output;
      EXPECT_NE(skipped.output.find(" failed or skipped\n"), std::string::npos) << skipped.output;
      EXPECT_FALSE(fs::exists(dir / "out/a.txt"));
    }
  }
}

// zip on a UTF-8 system keys from the password's UTF-8 bytes: a non-ASCII password opens its
// archives whether or not Windows-1252 could hold it. (7-Zip refuses non-ASCII passwords for
// ZIP archives.)
TEST(QmzipPassword, NonAsciiPasswordsOfUtf8SystemsOpenTheirArchives) {
  ScratchDir dir;
  dir.MakeTree();
  const std::string russian = "\xd0\xbf\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c";
  const std::string french = "caf\xc3\xa9";
  struct Case {
    const char* label;
    std::string make;
    std::string password;
  };
  const Case cases[] = {
      {"zip, outside Windows-1252", "zip -q -P '" + russian + "' out.zip a.txt", russian},
      {"zip, inside Windows-1252", "zip -q -P '" + french + "' out.zip a.txt", french},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove(dir / "out.zip");
    MustRun("LC_ALL=C.UTF-8 " + c.make, dir.path());
    const CommandResult r = Qmzip(dir, "test out.zip -P '" + c.password + "'");
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(r.output, "Tested 1 of 1 items\n");
  }
}

// Every way qmzip ends is 0, 1 or 2: a command line it cannot use gives 2, not CLI11's own
// numbers.
TEST(QmzipExitCodes, UnusableCommandLinesGiveTwo) {
  ScratchDir dir;
  MakeArchives(dir);
  for (const char* args : {"test aes.zip --no-such-option", "extract", "frobnicate x.zip",
                           "extract aes.zip --overwrite sometimes"}) {
    SCOPED_TRACE(args);
    EXPECT_EQ(Qmzip(dir, args).exit_code, 2);
  }
  EXPECT_EQ(Qmzip(dir, "--help").exit_code, 0);
}

// Runs qmzip on a pseudo-terminal and types each answer once the program has asked for a
// password and turned echo off (the prompt drops what was typed ahead, as password prompts
// do). Prints everything the terminal showed.
constexpr const char* kTerminalDriver = R"(import os, pty, sys, termios, time
answers = [a.encode() + b'\n' for a in sys.argv[2:]]
pid, fd = pty.fork()
if pid == 0:
    os.execv(sys.argv[1], [sys.argv[1], 'extract', 'aes.zip', '-d', 'out'])
shown = b''
asked = 0
while True:
    try:
        data = os.read(fd, 4096)
    except OSError:
        break
    if not data:
        break
    shown += data
    if answers and shown.count(b'Enter password: ') > asked:
        deadline = time.time() + 10
        while termios.tcgetattr(fd)[3] & termios.ECHO and time.time() < deadline:
            time.sleep(0.01)
        os.write(fd, answers.pop(0))
        asked += 1
_, status = os.waitpid(pid, 0)
sys.stdout.write(shown.decode('utf-8', 'replace'))
sys.exit(os.waitstatus_to_exitcode(status))
)";

TEST(QmzipPassword, TerminalPromptIsMasked) {
  if (!QM_PSEUDO_TERMINAL_TESTS) GTEST_SKIP() << "no pseudo-terminal for qmzip here";
  ScratchDir dir;
  MakeArchives(dir);
  WriteFile(dir / "drive.py", kTerminalDriver);
  // The first answer is wrong and asked again; the second opens the archive, and serves the
  // following items as well.
  const CommandResult r =
      RunShell("python3 drive.py '" + kQmzip + "' nope 'pa55 word'", dir.path());
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_NE(r.output.find("Password for \"a.txt\""), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("pa55"), std::string::npos) << "the password was echoed";
  EXPECT_NE(r.output.find("Extracted 5 of 5 items"), std::string::npos) << r.output;
  EXPECT_EQ(ReadFile(dir / "out/a.txt"), ReadFile(dir / "a.txt"));
}

}  // namespace
}  // namespace qm::archive::testing
