// `qmzip comment` run as a program on an archive another tool made.
#include <gtest/gtest.h>

#include <filesystem>

#include "fixture_tools.h"
#include "qmzip_command.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
std::string CommentOf(const ScratchDir& dir) {
  const CommandResult r = RunShell(
      "python3 -c \"import zipfile; print(zipfile.ZipFile('out.zip').comment.decode(), end='')\"",
      dir.path());
  EXPECT_EQ(r.exit_code, 0) << r.output;
  return r.output;
}

TEST(QmzipComment, SetsTheCommentFromTheArgumentOrStandardInput) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun("zip -q -r out.zip a.txt docs", dir.path());
  struct Case {
    std::string command;
    std::string comment;
  };
  const Case cases[] = {
      {"'" + kQmzip + "' comment out.zip 'from the argument'", "from the argument"},
      {"printf 'two\\nlines\\n' | '" + kQmzip + "' comment out.zip", "two\nlines"},
      {"'" + kQmzip + "' comment out.zip ''", ""},
  };
  for (const Case& c : cases) {
    const CommandResult r = RunShell(c.command, dir.path());
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_EQ(CommentOf(dir), c.comment);
    MustRun("unzip -tq out.zip", dir.path());
  }
}

TEST(QmzipComment, RefusesMissingAndReadOnlyArchivesWithExitCode2) {
  ScratchDir dir;
  dir.MakeTree();
  CommandResult r = RunShell("'" + kQmzip + "' comment missing.zip text", dir.path());
  EXPECT_EQ(r.exit_code, 2) << r.output;
  EXPECT_FALSE(fs::exists(dir / "missing.zip"));
  MustRun("zip -q out.zip a.txt && chmod a-w out.zip", dir.path());
  const std::string before = ReadFile(dir / "out.zip");
  r = RunShell("'" + kQmzip + "' comment out.zip text", dir.path());
  EXPECT_EQ(r.exit_code, 2) << r.output;
  EXPECT_NE(r.output.find("read-only"), std::string::npos) << r.output;
  EXPECT_EQ(ReadFile(dir / "out.zip"), before);
}

}  // namespace
}  // namespace qm::archive::testing
