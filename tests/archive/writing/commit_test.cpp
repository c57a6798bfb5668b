// The commit end to end: new archives and comments, what other tools then read, growing
// archives other tools made without touching their untouched records. The tables of "nothing
// lost" (a fault at every platform call of a commit, a power cut after every write of it) and
// the tail file's trust are in commit_faults_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "archive/archive_error.h"
#include "archive/data/write/encoder_chunking.h"
#include "archive/directory/dir_manager.h"
#include "archive/writing/tail_file.h"
#include "extract_helpers.h"
#include "fixture_tools.h"
#include "platform/memory_stream.h"
#include "platform/platform_wrapper.h"
#include "platform/text.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::time_t kWhen = 1700000000;

std::string Extract(ZipArchiver& archiver, const std::u16string& name) {
  platform::MemoryStream out;
  archiver.ExtractToStream(name, out);
  return out.ToString();
}

void MustPassEveryTool(const fs::path& archive) {
  const fs::path dir = archive.parent_path();
  const std::string name = archive.filename().string();
  MustRun("unzip -tq '" + name + "'", dir);
  MustRun("7zz t '" + name + "' > /dev/null", dir);
  MustRun("bsdtar -tf '" + name + "' > /dev/null", dir);
  MustRun("python3 -c \"import zipfile,sys; sys.exit(zipfile.ZipFile('" + name +
              "').testzip() is not None)\"",
          dir);
}

// Marks entry `from` renamed to `to` the way the rename operation does.
void MarkRenamed(ZipArchiver& archiver, const std::u16string& from, const std::u16string& to) {
  DirArray& dir = archiver.DMHandle()->CDir;
  std::int32_t index = -1;
  ASSERT_TRUE(dir.FileExists(from, index));
  DirItem* item = dir.ItemPtr(index);
  item->EditChange().OldName = item->Name;
  dir.SetItemName(index, to);
  item->Modified = true;
  item->Operation = ProcessOperation::poRename;
}

TEST(Commit, NewArchiveFileGrowsAndEveryToolReadsIt) {
  ScratchDir dir;
  const fs::path path = dir / "new.zip";
  {
    ZipArchiver archiver;
    archiver.SetFileName(dir.U16("new.zip"));
    archiver.OpenArchive();  // does not exist: created
    archiver.BeginUpdate();
    archiver.AddFromString(u"a.txt", u"alpha", 0x20, kWhen);
    archiver.AddFromString(u"docs/b.txt", std::u16string(5000, u'b'), 0x20, kWhen);
    archiver.AddFromString(u"empty.txt", u"", 0x20, kWhen);
    archiver.EndUpdate();
    archiver.SetComment("archive comment");
  }
  MustPassEveryTool(path);
  ZipArchiver reader;
  OpenForReading(reader, path);
  EXPECT_EQ(reader.Comment(), "archive comment");
  EXPECT_EQ(Extract(reader, u"docs/b.txt"), std::string(5000, 'b'));
  EXPECT_FALSE(fs::exists(dir / "new.zip.qmtail"));
  const ArchiveView view = PythonView(path);
  EXPECT_EQ(view.comment, "archive comment");
  ASSERT_EQ(view.entries.size(), 3u);
  EXPECT_EQ(view.entries[2].name, "empty.txt");
  EXPECT_EQ(view.entries[2].method, 0);
}

TEST(Commit, EmptyArchiveIsAnEndRecordAndAppendingWritesOverTheOldDirectory) {
  ScratchDir dir;
  {
    ZipArchiver archiver;
    archiver.SetFileName(dir.U16("e.zip"));
    archiver.OpenArchive();
  }
  EXPECT_EQ(fs::file_size(dir / "e.zip"), 22u);
  ZipArchiver archiver;
  archiver.SetFileName(dir.U16("e.zip"));
  archiver.OpenArchive();
  archiver.BeginUpdate();
  archiver.AddFromString(u"one.txt", u"1", 0x20, kWhen);
  archiver.EndUpdate();
  const std::int64_t first_end = archiver.DMHandle()->CentralDirOffset();
  archiver.BeginUpdate();
  archiver.AddFromString(u"two.txt", u"2", 0x20, kWhen);
  archiver.EndUpdate();
  // The first record stays where it is; the second starts where the old directory did.
  EXPECT_EQ(archiver.DMHandle()->CDir.GetItem(0).LocalHeaderOffset(), 0u);
  EXPECT_EQ(archiver.DMHandle()->CDir.GetItem(1).LocalHeaderOffset(),
            static_cast<std::uint64_t>(first_end));
  archiver.CloseArchive();
  MustPassEveryTool(dir / "e.zip");
}

TEST(Commit, NamesAndTheirBlocksReadBackInEveryTool) {
  ScratchDir dir;
  {
    ZipArchiver archiver;
    archiver.SetFileName(dir.U16("n.zip"));
    archiver.SetUnicodeFilenames(true);
    archiver.OpenArchive();
    archiver.BeginUpdate();
    archiver.AddFromString(u"café.txt", u"oem", 0x20, kWhen);          // ANSI, stored as OEM
    archiver.AddFromString(u"журнал.txt", u"utf8", 0x20, kWhen);       // UTF-8 with bit 11
    archiver.AddFromString(u"€uro.txt", u"no oem euro", 0x20, kWhen);  // OEM lacks the euro
    archiver.EndUpdate();
  }
  MustPassEveryTool(dir / "n.zip");
  std::vector<std::string> names;
  for (const auto& e : PythonView(dir / "n.zip").entries) names.push_back(e.name);
  // Python reads bit 11 names as UTF-8 and others as 437; the euro needs Info-ZIP's block,
  // which unzip honours.
  EXPECT_EQ(names[0], "café.txt");
  EXPECT_EQ(names[1], "журнал.txt");
  const CommandResult listing = RunShell("unzip -Z1 n.zip", dir.path());
  EXPECT_NE(listing.output.find("€uro.txt"), std::string::npos) << listing.output;
  ZipArchiver reader;
  OpenForReading(reader, dir / "n.zip");
  EXPECT_EQ(Extract(reader, u"€uro.txt"), "no oem euro");
  EXPECT_EQ(Extract(reader, u"café.txt"), "oem");
}

// Many sources in one commit (with a second processor, those ahead are compressed while one
// is written): every item's events come whole, in the directory's order and on the caller's
// thread; a cancel midway leaves the old archive; what is written reads back in every tool.
TEST(Commit, ManySourcesKeepTheirEventsInOrderAndACancelMidwayKeepsTheOldArchive) {
  ScratchDir dir;
  std::map<std::string, std::string> contents;
  for (int i = 0; i < 60; ++i) {
    std::string text;
    for (int line = 0; line < i * 7; ++line) text += "line " + std::to_string(line * i) + "\n";
    contents["f" + std::to_string(100 + i) + ".txt"] = text;
  }
  std::string big;
  for (std::uint32_t state = 1; big.size() < (13u << 20) / 10;) {
    state = state * 1103515245 + 12345;
    big += std::to_string(state >> 20) + ' ';
  }
  contents["big.bin"] = big;  // more than one encoder chunk
  for (const auto& [name, text] : contents) dir.Write("src/" + name, text);
  fs::create_directories(dir / "src/folder");
  {
    ZipArchiver archiver;
    archiver.SetFileName(dir.U16("work.zip"));
    archiver.OpenArchive();
    archiver.AddFromString(u"old.txt", u"old", 0x20, kWhen);
  }
  const std::string old_bytes = ReadFile(dir / "work.zip");
  const auto caller = std::this_thread::get_id();
  for (const int cancel_at : {30, -1}) {
    SCOPED_TRACE(cancel_at);
    std::vector<std::string> events;
    int processed_items = 0;
    ZipArchiver archiver;
    archiver.SetFileName(dir.U16("work.zip"));
    archiver.SetBaseDir(dir.U16("src"));
    archiver.Options().Recurse = true;
    archiver.OnFileProgress = [&](BaseArchiver&, const std::u16string& name, double,
                                  ProcessOperation, ProgressPhase phase, bool& cancel) {
      EXPECT_EQ(std::this_thread::get_id(), caller);
      const std::string file = fs::path(Utf8(name)).filename().string();
      if (phase == ProgressPhase::ppStart) ++processed_items;
      events.push_back(file + (phase == ProgressPhase::ppStart     ? " start"
                               : phase == ProgressPhase::ppProcess ? " data"
                                                                   : " end"));
      cancel = phase == ProgressPhase::ppProcess && processed_items == cancel_at;
    };
    archiver.OnOverallProgress = [&](BaseArchiver&, double, ProcessOperation, ProgressPhase,
                                     bool&) { EXPECT_EQ(std::this_thread::get_id(), caller); };
    archiver.OpenArchive();
    archiver.AddFiles(u"*.*", ArchiveOptions::kDefaultSearchAttr, u"");
    archiver.CloseArchive();
    if (cancel_at > 0) {
      EXPECT_EQ(ReadFile(dir / "work.zip"), old_bytes);
      EXPECT_EQ(processed_items, cancel_at);
      continue;
    }
    MustPassEveryTool(dir / "work.zip");
    ZipArchiver reader;
    OpenForReading(reader, dir / "work.zip");
    std::vector<std::string> expected;
    const DirArray& written = reader.DMHandle()->CDir;
    ASSERT_EQ(written.Count(), 63);
    for (std::int32_t i = 1; i < written.Count(); ++i) {
      const std::string name = fs::path(Utf8(written.GetItem(i).Name)).filename().string();
      expected.push_back(name + " start");
      const auto found = contents.find(name);
      if (found != contents.end()) {
        const auto chunk = static_cast<std::size_t>(EncoderChunkSize(archiver.CompressionMode()));
        const std::size_t chunks = (found->second.size() + chunk - 1) / chunk;
        for (std::size_t c = 0; c < chunks; ++c) expected.push_back(name + " data");
        EXPECT_EQ(Extract(reader, written.GetItem(i).Name), found->second) << name;
      }
      expected.push_back(name + " end");
    }
    EXPECT_EQ(events, expected);
  }
}

TEST(Commit, CommitInMemoryAndInACallersStream) {
  platform::MemoryStream stream;
  {
    ZipArchiver archiver;
    archiver.OpenArchive(stream, true);
    archiver.BeginUpdate();
    archiver.AddFromString(u"x.txt", u"in a stream", 0x20, kWhen);
    archiver.EndUpdate();
    archiver.BeginUpdate();
    MarkRenamed(archiver, u"x.txt", u"y.txt");
    archiver.EndUpdate();
  }
  ZipArchiver reader;
  reader.OpenArchive(stream, false);
  EXPECT_EQ(Extract(reader, u"y.txt"), "in a stream");

  ScratchDir dir;
  ZipArchiver memory;
  memory.SetInMemory(true);
  memory.SetFileName(dir.U16("m.zip"));
  memory.OpenArchive();
  memory.BeginUpdate();
  memory.AddFromString(u"m.txt", u"memory", 0x20, kWhen);
  memory.EndUpdate();
  memory.SetInMemory(false);  // written to the file and opened from there
  EXPECT_EQ(Extract(memory, u"m.txt"), "memory");
}

// Archives other tools made: adding, replacing and renaming keeps every other record byte for
// byte, and the result passes the same tools.
struct ToolArchive {
  std::string name;
  std::string make;  // shell, in a folder holding a.txt, docs/b.txt, big.bin
  std::string renamed;
};

class GrowingToolArchives : public ::testing::TestWithParam<ToolArchive> {};

const char* kRawRecords = R"(import sys, zipfile, struct
def records(path):
    data = open(path, 'rb').read()
    out = {}
    with zipfile.ZipFile(path) as z:
        for i in z.infolist():
            o = i.header_offset
            n, m = struct.unpack('<HH', data[o + 26:o + 30])
            end = o + 30 + n + m + i.compress_size
            if i.flag_bits & 8:
                end += 16 if data[end:end + 4] == b'PK\x07\x08' else 12
            out[i.filename] = data[o:end]
    return out
old, new = records(sys.argv[1]), records(sys.argv[2])
for name in sys.argv[3:]:
    if old[name] != new[name]:
        print('changed:', name)
with zipfile.ZipFile(sys.argv[2]) as z:
    bad = z.testzip()
    if bad: print('bad:', bad)
)";

TEST_P(GrowingToolArchives, KeepUntouchedRecordsByteForByte) {
  const ToolArchive& tool = GetParam();
  ScratchDir dir;
  dir.Write("a.txt", "first file\n");
  dir.Write("docs/b.txt", std::string(3000, 'b'));
  dir.Write("big.bin", std::string(20000, 'z'));
  MustRun(tool.make, dir.path());
  fs::copy_file(dir / "old.zip", dir / "new.zip");
  std::vector<std::string> untouched;
  for (const auto& e : PythonView(dir / "old.zip").entries) {
    if (e.name != "a.txt" && e.name != tool.renamed) untouched.push_back(e.name);
  }
  {
    ZipArchiver archiver;
    archiver.SetFileName(dir.U16("new.zip"));
    archiver.OpenArchive();
    archiver.BeginUpdate();
    archiver.AddFromString(u"a.txt", u"replaced", 0x20, kWhen);
    archiver.AddFromString(u"added.txt", u"added", 0x20, kWhen);
    MarkRenamed(archiver, platform::Utf8ToUtf16(tool.renamed), u"renamed.bin");
    archiver.EndUpdate();
  }
  WriteFile(dir / "records.py", kRawRecords);
  std::string command = "python3 records.py old.zip new.zip";
  for (const auto& name : untouched) command += " '" + name + "'";
  const CommandResult compared = RunShell(command, dir.path());
  EXPECT_EQ(compared.exit_code, 0);
  EXPECT_EQ(compared.output, "");
  MustPassEveryTool(dir / "new.zip");
  ZipArchiver reader;
  OpenForReading(reader, dir / "new.zip");
  EXPECT_EQ(Extract(reader, u"a.txt"), "replaced");
  EXPECT_EQ(Extract(reader, u"renamed.bin").size(), tool.renamed == "big.bin" ? 20000u : 3000u);
}

INSTANTIATE_TEST_SUITE_P(
    Tools, GrowingToolArchives,
    ::testing::Values(
        ToolArchive{"zip",
                    "zip -q old.zip a.txt docs/b.txt big.bin && printf streamed | zip -q old.zip - "
                    "&& echo 'tool comment' | zip -qz old.zip",
                    "big.bin"},
        ToolArchive{"sevenzip", "7zz a -tzip old.zip a.txt docs big.bin > /dev/null", "big.bin"},
        ToolArchive{"jar", "jar cf old.zip a.txt docs big.bin", "docs/b.txt"},
        ToolArchive{"python",
                    "python3 -c \"import zipfile\nwith zipfile.ZipFile('old.zip', 'w', "
                    "zipfile.ZIP_DEFLATED) as z:\n  z.comment = b'py'\n  z.write('a.txt')\n  "
                    "z.write('docs/b.txt')\n  z.write('big.bin')\"",
                    "big.bin"}),
    [](const auto& info) { return info.param.name; });

// A platform on which source files of one name cannot be opened (held by another program).
class LockedSources final : public platform::PlatformWrapper {
 public:
  // `name` ends a path, with "/" for the separator whatever the platform's.
  explicit LockedSources(std::u16string name)
      : PlatformWrapper(platform::Platform::Native()), name_(std::move(name)) {
    std::replace(name_.begin(), name_.end(), u'/', platform::kPathSeparator);
  }
  std::unique_ptr<platform::File> OpenFile(const std::u16string& path, std::uint16_t mode,
                                           std::error_code& error) override {
    if (path.ends_with(name_)) {
      error = std::make_error_code(std::errc::permission_denied);
      return nullptr;
    }
    return PlatformWrapper::OpenFile(path, mode, error);
  }

 private:
  std::u16string name_;
};

// A source that cannot be read at the commit, its failure answered Ignore: an entry that
// replaced one the archive held keeps the old version, however it came (added, moved, or
// replaced twice), and its moved source stays on disk; an entry new in the transaction is
// dropped, also when it was added twice, and the rest of the commit goes through.
TEST(Commit, AnIgnoredSourceFailureKeepsWhatTheArchiveHeld) {
  struct Case {
    std::string label;
    std::function<void(ZipArchiver&)> change;
    std::u16string locked;
    std::vector<std::string> names;  // in the directory's order afterwards
    std::string keep_txt;            // its data afterwards
  };
  const auto add = [](const char16_t* mask) {
    return [mask](ZipArchiver& a) { a.AddFiles(mask, ArchiveOptions::kDefaultSearchAttr, u""); };
  };
  const auto move = [](const char16_t* mask) {
    return [mask](ZipArchiver& a) { a.MoveFiles(mask, ArchiveOptions::kDefaultSearchAttr, u""); };
  };
  const Case cases[] = {
      {"AddedOverAnOldEntry",
       add(u"keep.txt"),
       u"/src/keep.txt",
       {"keep.txt", "other.txt", "new.txt"},
       "old keep"},
      {"MovedOverAnOldEntry",
       move(u"keep.txt"),
       u"/src/keep.txt",
       {"keep.txt", "other.txt", "new.txt"},
       "old keep"},
      {"ReplacedTwice",
       [&](ZipArchiver& a) {
         a.AddFromString(u"keep.txt", u"from a string", 0x20, kWhen);
         add(u"keep.txt")(a);
       },
       u"/src/keep.txt",
       {"keep.txt", "other.txt", "new.txt"},
       "old keep"},
      {"NewAndAddedTwice",
       [&](ZipArchiver& a) {
         add(u"fresh.txt")(a);
         add(u"fresh.txt")(a);
       },
       u"/src/fresh.txt",
       {"keep.txt", "other.txt", "new.txt"},
       "old keep"},
      {"NewAndMoved",
       move(u"fresh.txt"),
       u"/src/fresh.txt",
       {"keep.txt", "other.txt", "new.txt"},
       "old keep"},
      {"OthersGoThrough",
       add(u"*.txt"),
       u"/src/fresh.txt",
       {"keep.txt", "other.txt", "new.txt"},
       "new keep"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ScratchDir dir;
    dir.Write("src/keep.txt", "new keep");
    dir.Write("src/fresh.txt", "fresh");
    {
      ZipArchiver archiver;
      archiver.SetFileName(dir.U16("work.zip"));
      archiver.OpenArchive();
      archiver.BeginUpdate();
      archiver.AddFromString(u"keep.txt", u"old keep", 0x20, kWhen);
      archiver.AddFromString(u"other.txt", u"other", 0x20, kWhen);
      archiver.EndUpdate();
    }
    LockedSources locked(c.locked);
    platform::ScopedPlatform installed(locked);
    ZipArchiver archiver;
    archiver.SetFileName(dir.U16("work.zip"));
    archiver.SetBaseDir(dir.U16("src"));
    int failures = 0;
    archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string&, ProcessOperation,
                                        int native, int, const std::u16string&, Action& action) {
      EXPECT_EQ(native, static_cast<int>(ErrorSite::kCannotOpenSource));
      ++failures;
      action = Action::fxaIgnore;
    };
    archiver.OpenArchive();
    archiver.BeginUpdate();
    c.change(archiver);
    archiver.AddFromString(u"new.txt", u"new", 0x20, kWhen);
    ASSERT_NO_THROW(archiver.EndUpdate());
    archiver.CloseArchive();
    EXPECT_EQ(failures, 1);
    std::vector<std::string> names;
    for (const auto& e : PythonView(dir / "work.zip").entries) names.push_back(e.name);
    EXPECT_EQ(names, c.names);
    ZipArchiver reader;
    OpenForReading(reader, dir / "work.zip");
    EXPECT_EQ(Extract(reader, u"keep.txt"), c.keep_txt);
    EXPECT_EQ(Extract(reader, u"new.txt"), "new");
    EXPECT_TRUE(fs::exists(dir / "src/keep.txt"));
    EXPECT_TRUE(fs::exists(dir / "src/fresh.txt"));
    MustPassEveryTool(dir / "work.zip");
  }
}

}  // namespace
}  // namespace qm::archive::testing
