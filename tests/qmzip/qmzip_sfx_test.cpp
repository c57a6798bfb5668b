// `qmzip sfx` and the program it makes: qmzip-sfx with the archive behind it.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "extract_helpers.h"
#include "qmzip_command.h"

namespace qm::archive::testing {
namespace {

// What starts a program made for this build's system (an emulator where it is not this one).
const std::string kLauncher = PROGRAM_LAUNCHER;
constexpr std::uintmax_t kSevenZipSearchLimit = 4u << 20;

CommandResult Shell(const ScratchDir& dir, const std::string& command) {
  return RunShell(command + " < /dev/null", dir.path());
}

TEST(QmzipSfx, TheSelfExtractorListsTestsAndExtractsByteForByte) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun("mkdir tree && mv a.txt empty.txt docs tree/ && zip -q -r arc.zip tree", dir.path());
  const CommandResult made = Qmzip(dir, "sfx arc.zip arc.run");
  ASSERT_EQ(made.exit_code, 0) << made.output;

  const CommandResult list = Shell(dir, kLauncher + "./arc.run -l");
  EXPECT_EQ(list.exit_code, 0) << list.output;
  EXPECT_NE(list.output.find("tree/docs/b.txt"), std::string::npos) << list.output;
  const CommandResult test = Shell(dir, kLauncher + "./arc.run -t");
  EXPECT_EQ(test.exit_code, 0) << test.output;
  EXPECT_EQ(test.output, "Tested 7 of 7 items\n");
  const CommandResult into = Shell(dir, "mkdir x && " + kLauncher + "./arc.run -d x");
  EXPECT_EQ(into.exit_code, 0) << into.output;
  MustRun("diff -r tree x/tree", dir.path());
  // Without a folder: beside itself, wherever it is started from.
  const CommandResult beside =
      Shell(dir, "mkdir -p sub/elsewhere && cp arc.run sub/ && cd sub/elsewhere && " + kLauncher +
                     "../arc.run");
  EXPECT_EQ(beside.exit_code, 0) << beside.output;
  MustRun("diff -r tree sub/tree", dir.path());

  MustRun("unzip -tqq arc.run", dir.path());
  // 7-Zip looks for an archive behind a program only within the first few megabytes; the
  // sanitizer build's stub is far larger than that, a release stub about one megabyte.
  if (std::filesystem::file_size(dir.path() / "arc.run") < kSevenZipSearchLimit) {
    MustRun("7zz t arc.run > /dev/null", dir.path());
  }
  // A self-extractor is not made of one.
  EXPECT_EQ(Qmzip(dir, "sfx arc.run again.run").exit_code, 2);
}

}  // namespace
}  // namespace qm::archive::testing
