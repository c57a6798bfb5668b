// `qmzip list` run as a program: its lines match Python's view of archives made by real tools.
#include <gtest/gtest.h>

#include <sstream>

#include "fixture_tools.h"
#include "qmzip_command.h"

namespace qm::archive::testing {
namespace {

struct Listed {
  std::string name, time, crc;
  std::uint64_t size, compressed;
  bool operator==(const Listed&) const = default;
};
void PrintTo(const Listed& l, std::ostream* os) {
  *os << l.name << " " << l.size << "/" << l.compressed << " " << l.crc << " " << l.time;
}

// The entry lines between the two rules of the listing.
std::vector<Listed> ParseListing(const std::string& output) {
  std::vector<Listed> out;
  std::stringstream in(output);
  std::string line;
  int rules = 0;
  while (std::getline(in, line)) {
    if (line.starts_with("----------")) {
      ++rules;
      continue;
    }
    if (rules != 1) continue;
    std::stringstream fields(line);
    Listed l;
    std::string method, ratio, date, clock, attr, mark;
    fields >> l.size >> method >> l.compressed >> ratio >> date >> clock >> l.crc >> attr >> mark;
    fields.get();
    fields.get();
    std::getline(fields, l.name);
    l.time = date + " " + clock;
    out.push_back(l);
  }
  return out;
}

std::vector<Listed> FromView(const ArchiveView& view) {
  std::vector<Listed> out;
  for (const auto& e : view.entries) out.push_back({e.name, e.time, e.crc, e.size, e.compressed});
  return out;
}

TEST(QmzipList, ListsWhatZipfileSeesForEveryTool) {
  ScratchDir dir;
  dir.MakeTree();
  const char* makers[] = {
      "zip -q -r out.zip a.txt empty.txt docs",
      "7zz a -tzip out.zip a.txt empty.txt docs > /dev/null",
      "bsdtar --format zip -cf out.zip a.txt empty.txt docs",
      "jar cf out.zip a.txt docs",
      "python3 -c \"import zipfile\nwith zipfile.ZipFile('out.zip', 'w') as z:\n"
      "  z.writestr('\\u65e5\\u672c/caf\\u00e9.txt', 'x' * 100)\"",
  };
  for (const char* make : makers) {
    MustRun(std::string("rm -f out.zip && ") + make, dir.path());
    const CommandResult r = RunShell("'" + kQmzip + "' list out.zip", dir.path());
    ASSERT_EQ(r.exit_code, 0) << make << "\n" << r.output;
    const auto expected = FromView(PythonView(dir / "out.zip"));
    EXPECT_EQ(ParseListing(r.output), expected) << make;
    const std::string total =
        std::to_string(expected.size()) + (expected.size() == 1 ? " file" : " files");
    EXPECT_NE(r.output.find(total), std::string::npos) << r.output;
  }
}

TEST(QmzipList, MasksSelectEntries) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun("zip -q -r out.zip a.txt empty.txt docs", dir.path());
  const CommandResult r = RunShell("'" + kQmzip + "' list out.zip '*.txt' -x 'empty*'", dir.path());
  ASSERT_EQ(r.exit_code, 0) << r.output;
  std::vector<std::string> names;
  for (const auto& l : ParseListing(r.output)) names.push_back(l.name);
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "docs/b.txt"}));
}

TEST(QmzipList, MissingOrDamagedArchiveGivesAMessageAndNonZeroExit) {
  ScratchDir dir;
  dir.Write("text.zip", std::string(100, 't'));
  dir.MakeTree();
  MustRun("zip -q out.zip a.txt && cp out.zip junk.zip && printf 0123456789 >> junk.zip",
          dir.path());
  struct Case {
    std::string args, message;
  };
  const Case cases[] = {
      {"list missing.zip", "File \"missing.zip\" not found"},
      {"list text.zip", "Archive is damaged. Open failed"},
      {"list junk.zip", "Archive is damaged. Open failed"},
      {"list --recover text.zip", "Invalid archive file."},
      {"list", "archive is required"},
  };
  for (const auto& c : cases) {
    const CommandResult r = RunShell("'" + kQmzip + "' " + c.args, dir.path());
    EXPECT_NE(r.exit_code, 0) << c.args;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << c.args << "\n" << r.output;
  }
  // With --recover the damaged one is rebuilt from its local headers.
  const CommandResult recovered = RunShell("'" + kQmzip + "' list --recover junk.zip", dir.path());
  EXPECT_EQ(recovered.exit_code, 0) << recovered.output;
  EXPECT_EQ(ParseListing(recovered.output).size(), 1u);
  const CommandResult help = RunShell("'" + kQmzip + "' --help", dir.path());
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.output.find("list"), std::string::npos);
}

}  // namespace
}  // namespace qm::archive::testing

namespace qm::archive::testing {
namespace {

// A FIFO or a folder given as the archive is refused at once and named for what it is.
TEST(QmzipList, OddArchiveFilesAreRefusedAtOnceWithWhatTheyAre) {
  ScratchDir dir;
  MustRun("mkfifo pipe.zip && mkdir folder.zip", dir.path());
  for (const auto& [name, says] : {std::pair{"pipe.zip", "FIFO"}, {"folder.zip", "folder"}}) {
    SCOPED_TRACE(name);
    const CommandResult r =
        RunShell("timeout 20 '" + kQmzip + "' list " + name + " < /dev/null", dir.path());
    EXPECT_EQ(r.exit_code, 2) << r.output;
    EXPECT_NE(r.output.find(says), std::string::npos) << r.output;
  }
}

}  // namespace
}  // namespace qm::archive::testing

namespace qm::archive::testing {
namespace {

// A tail file beside the archive that is not its own (here an earlier version's, holding
// another archive) stops every command: the archive is refused, the file named, neither
// changed. A leftover of the archive's own commit that never got its trailer is cleared away.
TEST(QmzipList, ATailFileNotTheArchivesOwnStopsEveryCommandAndIsNamed) {
  ScratchDir dir;
  dir.MakeTree();
  MustRun("zip -q out.zip a.txt && zip -q other.zip docs/b.txt", dir.path());
  MustRunPython(
      "import struct, zlib\n"
      "data = open('other.zip', 'rb').read()\n"
      "trailer = struct.pack('<8sQQQI', b'QMTAIL01', 0, len(data), len(data),\n"
      "                      zlib.crc32(data))\n"
      "open('out.zip.qmtail', 'wb').write(data + trailer)\n",
      dir.path());
  const std::string archive = ReadFile(dir / "out.zip");
  const std::string tail = ReadFile(dir / "out.zip.qmtail");
  for (const char* args :
       {"list out.zip", "test out.zip", "extract out.zip -d x", "delete out.zip a.txt"}) {
    const CommandResult r = Qmzip(dir, args);
    EXPECT_EQ(r.exit_code, 2) << args << "\n" << r.output;
    EXPECT_NE(r.output.find("out.zip.qmtail"), std::string::npos) << args << "\n" << r.output;
  }
  EXPECT_EQ(ReadFile(dir / "out.zip"), archive);
  EXPECT_EQ(ReadFile(dir / "out.zip.qmtail"), tail);
  EXPECT_FALSE(std::filesystem::exists(dir / "x" / "docs"));

  WriteFile(dir / "out.zip.qmtail", "the start of a tail, no trailer");
  const CommandResult r = Qmzip(dir, "list out.zip");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_NE(r.output.find("a.txt"), std::string::npos) << r.output;
  EXPECT_FALSE(std::filesystem::exists(dir / "out.zip.qmtail"));
  EXPECT_EQ(ReadFile(dir / "out.zip"), archive);
}

}  // namespace
}  // namespace qm::archive::testing
