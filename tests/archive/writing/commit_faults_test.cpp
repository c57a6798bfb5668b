// Nothing lost, ever. Each transaction of the table (adding and replacing, deleting, updating
// from a changed file, renaming, merging another archive, changing attributes and comments)
// runs again and again under a platform that
//   - fails its K-th call (each read, write, seek, size, truncate, flush, open, create,
//     delete, rename in turn): the operation reports the failure, the archive is byte for byte
//     what it was, the directory in memory is as before, no temporary file is left;
//   - cuts the power after its N-th write: every later write fails, and what was not flushed
//     to the medium is lost (file contents since their last flush; file names since their
//     folder's last flush). The engine alone, on the next open, then gives back the old
//     archive or the new one, whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <tuple>
#include <vector>

#include "archive/archive_error.h"
#include "archive/directory/dir_manager.h"
#include "extract_helpers.h"
#include "fixture_tools.h"
#include "platform/file_mode.h"
#include "platform/platform_wrapper.h"
#include "platform/text.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::time_t kWhen = 1700000000;
constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;

std::error_code Broken() {
  return std::make_error_code(std::errc::io_error);
}

// What the medium holds of a file: its name once its folder was flushed, its content as of its
// last flush.
struct Durable {
  bool name = false;
  std::string content;
};

struct FaultPlan {
  bool armed = false;
  // The archive's folder cannot hold a tail file (the commit writes beside and renames).
  bool refuse_tail = false;
  // The failure table: the call that fails (counted from 1 while armed).
  long fail_at = -1;
  long calls = 0;
  // The crash table: writes allowed before the power goes.
  long crash_after = -1;
  long writes = 0;
  bool dead = false;
  std::map<std::string, Durable> medium;

  bool FailThisCall() {
    if (!armed) return false;
    if (dead) return true;
    return ++calls == fail_at;
  }
  bool WriteFails() {
    if (FailThisCall()) return true;
    if (!armed || crash_after < 0) return false;
    if (++writes > crash_after) dead = true;
    return dead;
  }
};

class FaultyFile final : public platform::File {
 public:
  FaultyFile(std::unique_ptr<platform::File> inner, FaultPlan& plan, std::string path)
      : inner_(std::move(inner)), plan_(plan), path_(std::move(path)) {}
  std::size_t Read(void* b, std::size_t n, std::error_code& e) override {
    if (plan_.armed && !plan_.dead && plan_.FailThisCall()) {
      e = Broken();
      return 0;
    }
    return inner_->Read(b, n, e);
  }
  std::size_t Write(const void* b, std::size_t n, std::error_code& e) override {
    if (plan_.WriteFails()) {
      e = Broken();
      return 0;
    }
    return inner_->Write(b, n, e);
  }
  std::int64_t Seek(std::int64_t o, Origin w, std::error_code& e) override {
    if (plan_.armed && !plan_.dead && plan_.FailThisCall()) {
      e = Broken();
      return -1;
    }
    return inner_->Seek(o, w, e);
  }
  std::int64_t Size(std::error_code& e) override {
    if (plan_.armed && !plan_.dead && plan_.FailThisCall()) {
      e = Broken();
      return -1;
    }
    return inner_->Size(e);
  }
  std::error_code Truncate(std::int64_t s) override {
    if (plan_.FailThisCall()) return Broken();
    return inner_->Truncate(s);
  }
  std::error_code Flush() override {
    if (plan_.FailThisCall()) return Broken();
    if (auto e = inner_->Flush()) return e;
    auto found = plan_.medium.find(path_);
    if (found != plan_.medium.end()) found->second.content = ReadFile(path_);
    return {};
  }

 private:
  std::unique_ptr<platform::File> inner_;
  FaultPlan& plan_;
  std::string path_;
};

class FaultyDisk final : public platform::PlatformWrapper {
 public:
  explicit FaultyDisk(FaultPlan& plan)
      : PlatformWrapper(platform::Platform::Native()), plan_(plan) {}

  std::unique_ptr<platform::File> OpenFile(const std::u16string& path, std::uint16_t mode,
                                           std::error_code& error) override {
    const std::string native = platform::Utf16ToUtf8(path);
    const bool writes = platform::file_mode::CanWrite(mode);
    if (plan_.refuse_tail && native.ends_with(".qmtail") && platform::file_mode::IsCreate(mode)) {
      error = std::make_error_code(std::errc::filename_too_long);
      return nullptr;
    }
    if (plan_.FailThisCall() && (writes || !plan_.dead)) {
      error = Broken();
      return nullptr;
    }
    const bool existed = fs::exists(native);
    auto file = target().OpenFile(path, mode, error);
    if (!file) return file;
    if (writes && !plan_.medium.contains(native)) {
      plan_.medium[native] = existed ? Durable{true, ReadFile(native)} : Durable{};
    }
    return std::make_unique<FaultyFile>(std::move(file), plan_, native);
  }
  std::error_code DeleteFile(const std::u16string& path) override {
    if (plan_.FailThisCall()) return Broken();
    // A deletion is taken as durable at once: the engine never relies on one not having been.
    plan_.medium.erase(platform::Utf16ToUtf8(path));
    return target().DeleteFile(path);
  }
  std::error_code MoveFile(const std::u16string& from, const std::u16string& to) override {
    if (plan_.FailThisCall()) return Broken();
    return target().MoveFile(from, to);
  }
  std::error_code ReplaceFile(const std::u16string& from, const std::u16string& to) override {
    if (plan_.FailThisCall()) return Broken();
    return target().ReplaceFile(from, to);
  }
  std::u16string CreateTempFile(const std::u16string& directory, const std::u16string& prefix,
                                std::error_code& error) override {
    if (plan_.FailThisCall()) {
      error = Broken();
      return {};
    }
    return target().CreateTempFile(directory, prefix, error);
  }
  std::error_code FlushDirectory(const std::u16string& path) override {
    if (plan_.FailThisCall()) return Broken();
    const fs::path folder = fs::absolute(platform::Utf16ToUtf8(path)).lexically_normal();
    for (auto& [name, durable] : plan_.medium) {
      if (fs::absolute(name).parent_path().lexically_normal() == folder) durable.name = true;
    }
    return target().FlushDirectory(path);
  }

 private:
  FaultPlan& plan_;
};

// The power came back: every file the commit wrote holds what reached the medium.
void Reboot(const FaultPlan& plan) {
  for (const auto& [name, durable] : plan.medium) {
    if (!durable.name) {
      fs::remove(name);
    } else {
      WriteFile(name, durable.content);
    }
  }
}

// One transaction on work.zip (a copy of `archive`), opened with src/ as its base folder; the
// faults begin where it calls `arm`.
struct Transaction {
  std::string label;
  std::function<void(ZipArchiver&, const ScratchDir&, const std::function<void()>& arm)> run;
  // old.zip: a, b, c, d, listed in the order of the file. reordered.zip: records a, b, c, d
  // listed d, b, a, c. dups.zip: two entries named dup.txt among others.
  std::string archive = "old.zip";
  // Fewer faults than this means the table no longer walks the commit it was meant to.
  long least_faults = 26;
};

const Transaction kTransactions[] = {
    {"AddReplaceRename",
     [](ZipArchiver& archiver, const ScratchDir&, const std::function<void()>& arm) {
       archiver.BeginUpdate();
       archiver.AddFromString(u"b.txt", u"replacement", 0x20, kWhen);
       archiver.AddFromString(u"new.txt", u"brand new", 0x20, kWhen);
       archiver.AddFiles(u"s.txt", kAll, u"");
       DirArray& cdir = archiver.DMHandle()->CDir;
       std::int32_t index = -1;
       ASSERT_TRUE(cdir.FileExists(u"c.txt", index));
       cdir.ItemPtr(index)->EditChange().OldName = u"c.txt";
       cdir.SetItemName(index, u"renamed.txt");
       cdir.ItemPtr(index)->Modified = true;
       cdir.ItemPtr(index)->Operation = ProcessOperation::poRename;
       arm();
       archiver.EndUpdate();
     }},
    {"Delete",
     [](ZipArchiver& archiver, const ScratchDir&, const std::function<void()>& arm) {
       arm();
       archiver.DeleteFiles(u"a.txt", kAll, u"");
     }},
    {"Update",
     [](ZipArchiver& archiver, const ScratchDir&, const std::function<void()>& arm) {
       arm();
       archiver.UpdateFiles(u"b.txt", kAll, u"");
     }},
    {"Rename",
     [](ZipArchiver& archiver, const ScratchDir&, const std::function<void()>& arm) {
       arm();
       archiver.RenameFile(u"b.txt", u"renamed.txt");
     }},
    {"Merge",
     [](ZipArchiver& archiver, const ScratchDir& dir, const std::function<void()>& arm) {
       arm();
       archiver.MergeWith(dir.U16("other.zip"));
     }},
    {"AttributesAndComment",
     [](ZipArchiver& archiver, const ScratchDir&, const std::function<void()>& arm) {
       arm();
       archiver.BeginUpdate();
       archiver.ChangeFilesAttr(u"b.txt", 0x21);
       archiver.ChangeFilesComment(u"c.txt", "a note");
       archiver.EndUpdate();
     },
     // Changes of the directory alone move no record: the commit rewrites the directory, and
     // that is all it does.
     "old.zip", 12},
    // Records in another order than the directory: what lies after the cut in the file is
    // carried, whatever its place in the directory.
    {"ReorderedDeleteAndAdd",
     [](ZipArchiver& archiver, const ScratchDir&, const std::function<void()>& arm) {
       arm();
       archiver.BeginUpdate();
       archiver.DeleteFiles(u"c.txt", kAll, u"");
       archiver.AddFromString(u"new.txt", u"brand new", 0x20, kWhen);
       archiver.EndUpdate();
     },
     "reordered.zip"},
    {"ReorderedRename",
     [](ZipArchiver& archiver, const ScratchDir&, const std::function<void()>& arm) {
       arm();
       archiver.RenameFile(u"b.txt", u"renamed.txt");
     },
     "reordered.zip"},
    {"ReorderedAttributesCommentAndAdd",
     [](ZipArchiver& archiver, const ScratchDir&, const std::function<void()>& arm) {
       arm();
       archiver.BeginUpdate();
       archiver.ChangeFilesAttr(u"a.txt", 0x21);
       archiver.ChangeFilesComment(u"b.txt", "a note");
       archiver.AddFromString(u"new.txt", u"brand new", 0x20, kWhen);
       archiver.AddFiles(u"s.txt", kAll, u"");
       archiver.EndUpdate();
     },
     "reordered.zip"},
    // Names that repeat: each entry keeps its own record.
    {"DuplicatesDelete",
     [](ZipArchiver& archiver, const ScratchDir&, const std::function<void()>& arm) {
       arm();
       archiver.DeleteFiles(u"a.txt", kAll, u"");
     },
     "dups.zip"},
    {"DuplicatesRename",
     [](ZipArchiver& archiver, const ScratchDir&, const std::function<void()>& arm) {
       arm();
       archiver.RenameFile(u"dup.txt", u"renamed.txt");
     },
     "dups.zip"},
};

std::vector<const Transaction*> TransactionTable() {
  std::vector<const Transaction*> table;
  for (const Transaction& t : kTransactions) table.push_back(&t);
  return table;
}

struct Scenario {
  ScratchDir dir;
  const Transaction& transaction;
  std::string old_bytes;
  std::string new_bytes;

  explicit Scenario(const Transaction& t) : transaction(t) {
    MakeZip(dir.path(),
            "with zipfile.ZipFile('old.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
            "  z.comment = b'kept comment'\n"
            "  z.writestr('a.txt', 'alpha' * 50)\n"
            "  z.writestr('b.txt', 'to be replaced')\n"
            "  z.writestr('c.txt', 'to be renamed' * 20)\n"
            "  z.writestr('d.txt', 'carried over' * 30)\n"
            "with zipfile.ZipFile('other.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
            "  z.writestr('o1.txt', 'from the other archive' * 40)\n"
            "  z.writestr('o2.txt', 'and more of it')\n"
            "with zipfile.ZipFile('reordered.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
            "  for name in 'abcd': z.writestr(name + '.txt', name * 500)\n"
            "  z.filelist[:] = [z.filelist[i] for i in (3, 1, 0, 2)]\n"
            "import warnings\n"
            "warnings.simplefilter('ignore')\n"
            "with zipfile.ZipFile('dups.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
            "  z.writestr('a.txt', 'alpha' * 50)\n"
            "  z.writestr('dup.txt', 'first of the name' * 20)\n"
            "  z.writestr('c.txt', 'between them' * 20)\n"
            "  z.writestr('dup.txt', 'second of the name' * 20)\n");
    dir.Write("src/s.txt", std::string(3000, 's'));
    dir.Write("src/b.txt", std::string(2000, 'b'));
    for (const char* name : {"src/s.txt", "src/b.txt"}) {
      fs::last_write_time(dir / name, fs::last_write_time(dir / "old.zip"));
    }
    old_bytes = ReadFile(dir / transaction.archive);
    Reset();
    ZipArchiver archiver;
    Run(archiver);
    archiver.CloseArchive();
    new_bytes = ReadFile(dir / "work.zip");
  }

  void Reset() {
    fs::remove(dir / "work.zip.qmtail");
    WriteFile(dir / "work.zip", old_bytes);
  }

  // Opens work.zip and runs the transaction; `arm` is called where the faults begin.
  void Run(
      ZipArchiver& archiver, const std::function<void()>& arm = [] {}) {
    archiver.SetFileName(dir.U16("work.zip"));
    archiver.SetBaseDir(dir.U16("src"));
    archiver.OnProcessFileFailure = [](BaseArchiver&, const std::u16string&, ProcessOperation, int,
                                       int, const std::u16string&,
                                       Action& action) { action = Action::fxaAbort; };
    archiver.OpenArchive();
    transaction.run(archiver, dir, arm);
  }

  std::set<std::string> Files() const { return TreeOf(dir.path()); }
};

std::vector<std::string> NamesOf(const DirArray& dir) {
  std::vector<std::string> names;
  for (std::int32_t i = 0; i < dir.Count(); ++i) names.push_back(Utf8(dir.GetItem(i).Name));
  return names;
}

// The directory as it stands before the transaction, whether one is open already or not.
std::vector<std::string> NamesBefore(ZipArchiver& archiver) {
  DirManager& dm = *archiver.DMHandle();
  return NamesOf(archiver.InUpdate() ? dm.RBCDir : dm.CDir);
}

// A transaction of the table, with the commit in place (a tail file) or beside (the folder
// refuses the tail file).
class CommitFaultTable : public ::testing::TestWithParam<std::tuple<const Transaction*, bool>> {
 protected:
  const Transaction& transaction() const { return *std::get<0>(GetParam()); }
  bool refuse_tail() const { return std::get<1>(GetParam()); }
};

TEST_P(CommitFaultTable, AFaultAtAnyCallLeavesArchiveAndDirectoryAsTheyWere) {
  Scenario scenario(transaction());
  ASSERT_NE(scenario.new_bytes, scenario.old_bytes);
  const std::set<std::string> files_before = [&] {
    scenario.Reset();
    return scenario.Files();
  }();
  long faults = 0;
  for (long k = 1;; ++k) {
    SCOPED_TRACE("call " + std::to_string(k));
    scenario.Reset();
    FaultPlan plan;
    plan.fail_at = k;
    plan.refuse_tail = refuse_tail();
    FaultyDisk disk(plan);
    bool failed = false;
    std::vector<std::string> names_before;
    {
      platform::ScopedPlatform installed(disk);
      ZipArchiver archiver;
      try {
        scenario.Run(archiver, [&] {
          names_before = NamesBefore(archiver);
          plan.armed = true;
        });
      } catch (const std::exception&) {
        failed = true;
      }
      plan.armed = false;
      if (plan.calls < k) {
        // The fault was never reached: this was the whole transaction, in place or beside.
        EXPECT_FALSE(failed);
        archiver.CloseArchive();
        EXPECT_EQ(ReadFile(scenario.dir / "work.zip"), scenario.new_bytes);
        EXPECT_EQ(scenario.Files(), files_before);
        break;
      }
      ++faults;
      // Failed, or aborted through the failure event (a source read): the old archive and the
      // old directory. Otherwise the fault was gone around and the new archive is whole.
      const bool rolled_back = ReadFile(scenario.dir / "work.zip") == scenario.old_bytes;
      if (rolled_back) {
        EXPECT_EQ(NamesOf(archiver.DMHandle()->CDir), names_before);
      } else {
        EXPECT_FALSE(failed);
        EXPECT_EQ(ReadFile(scenario.dir / "work.zip"), scenario.new_bytes);
      }
    }
    ASSERT_EQ(scenario.Files(), files_before);
  }
  EXPECT_GE(faults, transaction().least_faults);
}

TEST_P(CommitFaultTable, APowerCutAfterAnyWriteGivesBackTheOldOrTheNewArchiveOnTheNextOpen) {
  Scenario scenario(transaction());
  std::set<std::string> outcomes;
  for (long n = 0;; ++n) {
    SCOPED_TRACE("writes before the cut: " + std::to_string(n));
    scenario.Reset();
    FaultPlan plan;
    plan.crash_after = n;
    plan.refuse_tail = refuse_tail();
    FaultyDisk disk(plan);
    {
      platform::ScopedPlatform installed(disk);
      {
        ZipArchiver archiver;
        try {
          scenario.Run(archiver, [&] { plan.armed = true; });
        } catch (const std::exception&) {
        }
        // The process dies here; nothing it does from now on reaches the disk.
        plan.dead = plan.dead || plan.writes > n;
        plan.armed = true;
      }
      plan.armed = false;
    }
    if (!plan.dead) break;  // the transaction finished within n writes
    Reboot(plan);
    // The engine alone, on the next open.
    ZipArchiver archiver;
    OpenForReading(archiver, scenario.dir / "work.zip");
    archiver.CloseArchive();
    const std::string bytes = ReadFile(scenario.dir / "work.zip");
    const bool old_one = bytes == scenario.old_bytes;
    ASSERT_TRUE(old_one || bytes == scenario.new_bytes);
    outcomes.insert(old_one ? "old" : "new");
    ASSERT_FALSE(fs::exists(scenario.dir / "work.zip.qmtail"));
    // A new archive cut off before its rename stays behind as a temporary file.
    for (const auto& name : scenario.Files()) {
      if (name.starts_with("FC")) fs::remove(scenario.dir / name);
    }
  }
  EXPECT_TRUE(outcomes.contains("old"));
}

INSTANTIATE_TEST_SUITE_P(Transactions, CommitFaultTable,
                         ::testing::Combine(::testing::ValuesIn(TransactionTable()),
                                            ::testing::Values(false, true)),
                         [](const auto& info) {
                           return std::get<0>(info.param)->label +
                                  (std::get<1>(info.param) ? "_Beside" : "_InPlace");
                         });

TEST(CommitFaults, ATailFileThatCannotBePlayedBackIsNamedAndNothingIsOpened) {
  Scenario scenario(kTransactions[0]);
  scenario.Reset();
  // A complete tail file left by a cut-off commit, beside an archive that may not be written.
  {
    FaultPlan plan;
    plan.crash_after = 3;
    FaultyDisk disk(plan);
    platform::ScopedPlatform installed(disk);
    auto cut_off = [&] {
      return fs::exists(scenario.dir / "work.zip.qmtail") &&
             ReadFile(scenario.dir / "work.zip") != scenario.old_bytes;
    };
    for (long n = 0; !cut_off() && n < 1000; ++n) {
      scenario.Reset();
      plan = FaultPlan{};
      plan.crash_after = n;
      ZipArchiver archiver;
      try {
        scenario.Run(archiver, [&] { plan.armed = true; });
      } catch (const std::exception&) {
      }
      plan.dead = true;
    }
  }
  ASSERT_TRUE(fs::exists(scenario.dir / "work.zip.qmtail"));
  fs::permissions(scenario.dir / "work.zip", fs::perms::owner_write, fs::perm_options::remove);
  ZipArchiver archiver;
  archiver.SetFileName(scenario.dir.U16("work.zip"));
  try {
    archiver.OpenArchive();
    ADD_FAILURE() << "opened";
  } catch (const ArchiveError& e) {
    EXPECT_EQ(e.NativeError(), 69);
    EXPECT_NE(Utf8(e.Message()).find("work.zip.qmtail"), std::string::npos) << Utf8(e.Message());
  }
  EXPECT_FALSE(archiver.Active());
  EXPECT_TRUE(fs::exists(scenario.dir / "work.zip.qmtail"));
  fs::permissions(scenario.dir / "work.zip", fs::perms::owner_write, fs::perm_options::add);
  OpenForReading(archiver, scenario.dir / "work.zip");
  EXPECT_EQ(ReadFile(scenario.dir / "work.zip"), scenario.old_bytes);
}

// The same table over the commit that writes a new split set: it either finishes with the
// whole set, or it reports the failure and leaves no volume and the sources as they were.
TEST(CommitFaults, AFaultAtAnyCallOfASplitCommitLeavesTheWholeSetOrNothing) {
  ScratchDir dir;
  std::mt19937 random(11);
  for (int i = 0; i < 3; ++i) {
    std::string content(50000, '\0');
    for (char& c : content) c = static_cast<char>(random());
    dir.Write("src/f" + std::to_string(i) + ".bin", content);
  }
  fs::create_directories(dir / "tmp");
  auto write_set = [&](ZipArchiver& archiver) {
    archiver.SetFileName(dir.U16("set.zip"));
    archiver.SetTempDir(dir.U16("tmp"));
    archiver.SetBaseDir(dir.U16("src"));
    archiver.SetSpanningMode(SpanningMode::smSplitting);
    archiver.SpanningOptions().SetVolumeSize(VolumeSize::vsCustom);
    archiver.SpanningOptions().SetCustomVolumeSize(SpanningOptions::kMinCustomVolumeSize);
    archiver.OnProcessFileFailure = [](BaseArchiver&, const std::u16string&, ProcessOperation, int,
                                       int, const std::u16string&,
                                       Action& action) { action = Action::fxaAbort; };
    archiver.OpenArchive();
    archiver.BeginUpdate();
    archiver.AddFiles(u"*.*", kAll, u"");
    archiver.AddFromString(u"note.txt", u"a note", 0x20, kWhen);
    archiver.EndUpdate();
    archiver.CloseArchive();
  };
  auto set_files = [&] {
    std::map<std::string, std::string> files;
    for (const auto& name : TreeOf(dir.path())) {
      if (!name.starts_with("src") && !name.starts_with("tmp")) files[name] = ReadFile(dir / name);
    }
    return files;
  };
  const std::set<std::string> sources = TreeOf(dir / "src");
  std::map<std::string, std::string> whole;
  {
    ZipArchiver archiver;
    write_set(archiver);
    whole = set_files();
  }
  ASSERT_EQ(whole.size(), 3u);
  long faults = 0;
  for (long k = 1;; ++k) {
    SCOPED_TRACE("call " + std::to_string(k));
    for (const auto& [name, bytes] : whole) fs::remove(dir / name);
    FaultPlan plan;
    plan.fail_at = k;
    FaultyDisk disk(plan);
    bool failed = false;
    {
      platform::ScopedPlatform installed(disk);
      ZipArchiver archiver;
      plan.armed = true;
      try {
        write_set(archiver);
      } catch (const std::exception&) {
        failed = true;
      }
      plan.armed = false;
    }
    if (plan.calls < k) {
      EXPECT_FALSE(failed);
      EXPECT_EQ(set_files(), whole);
      break;
    }
    ++faults;
    const auto left = set_files();
    if (failed || left != whole) {
      EXPECT_TRUE(left.empty()) << left.size() << " files left";
    }
    EXPECT_EQ(TreeOf(dir / "src"), sources);
    // A temporary file stays only where deleting it was the call that failed.
    EXPECT_LE(TreeOf(dir / "tmp").size(), 1u);
    fs::remove_all(dir / "tmp");
    fs::create_directories(dir / "tmp");
  }
  EXPECT_GT(faults, 20);
}

}  // namespace
}  // namespace qm::archive::testing
