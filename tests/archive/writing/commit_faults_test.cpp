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
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <tuple>
#include <vector>

#include "archive/archive_error.h"
#include "archive/directory/dir_manager.h"
#include "extract_helpers.h"
#include "fault_platform.h"
#include "fixture_tools.h"
#include "platform/file_mode.h"
#include "platform/platform_wrapper.h"
#include "platform/text.h"
#include "support/file_owner.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::time_t kWhen = 1700000000;
constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;

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
       archiver.RenameFile(u"c.txt", u"renamed.txt");
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

// Leaves work.zip as a commit killed after the cut leaves it: the archive cut and partly
// rewritten, the complete tail file beside it.
void LeaveCutOffCommit(Scenario& scenario) {
  FaultPlan plan;
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
  ASSERT_TRUE(cut_off());
}

// Opening the scenario's archive fails with the given native error, names the tail file in its
// message and leaves the component closed.
void ExpectOpenRefusedNamingTheTail(ZipArchiver& archiver, const Scenario& scenario, int native) {
  archiver.SetFileName(scenario.dir.U16("work.zip"));
  try {
    archiver.OpenArchive();
    ADD_FAILURE() << "opened";
  } catch (const ArchiveError& e) {
    EXPECT_EQ(e.NativeError(), native);
    EXPECT_NE(Utf8(e.Message()).find("work.zip.qmtail"), std::string::npos) << Utf8(e.Message());
  }
  EXPECT_FALSE(archiver.Active());
}

TEST(CommitFaults, ATailFileThatCannotBePlayedBackIsNamedAndNothingIsOpened) {
  Scenario scenario(kTransactions[0]);
  scenario.Reset();
  // A complete tail file left by a cut-off commit, beside an archive that may not be written.
  LeaveCutOffCommit(scenario);
  ASSERT_TRUE(fs::exists(scenario.dir / "work.zip.qmtail"));
  fs::permissions(scenario.dir / "work.zip", fs::perms::owner_write, fs::perm_options::remove);
  ZipArchiver archiver;
  ExpectOpenRefusedNamingTheTail(archiver, scenario, 69);
  EXPECT_TRUE(fs::exists(scenario.dir / "work.zip.qmtail"));
  fs::permissions(scenario.dir / "work.zip", fs::perms::owner_write, fs::perm_options::add);
  OpenForReading(archiver, scenario.dir / "work.zip");
  EXPECT_EQ(ReadFile(scenario.dir / "work.zip"), scenario.old_bytes);
}

// What stands at the tail's name, byte for byte, or where its link leads.
std::string TailAsItStands(const fs::path& tail) {
  if (fs::is_symlink(tail)) return "link to " + fs::read_symlink(tail).string();
  return ReadFile(tail);
}

// A tail file is played back over the archive it was cut from, in the state the cut left it,
// and over nothing else. Each case leaves at the tail's name something else; opening work.zip
// (as listing it does) names that file and changes neither it nor the archive.
TEST(TailFileTrust, OnlyTheArchivesOwnTailIsPlayedBackAndAnyOtherIsNamedAndLeftAlone) {
  Scenario scenario(kTransactions[3]);  // a rename: the cut lies after the first record
  const fs::path archive = scenario.dir / "work.zip";
  const fs::path tail = scenario.dir / "work.zip.qmtail";
  // A first-version trailer (no archive named) after `data`.
  auto old_style_tail = [&](const std::string& data_file, std::uint64_t cut) {
    MustRunPython(
        "import struct, zlib\n"
        "data = open('" +
            data_file +
            "', 'rb').read()\n"
            "trailer = struct.pack('<8sQQQI', b'QMTAIL01', " +
            std::to_string(cut) + ", len(data), " + std::to_string(cut) +
            " + len(data), zlib.crc32(data))\n"
            "open('work.zip.qmtail', 'wb').write(data + trailer)\n",
        scenario.dir.path());
  };
  struct Case {
    std::string label;
    std::function<void()> plant;
    bool needs_root = false;
  };
  const Case cases[] = {
      {"an old version's tail carrying another archive", [&] { old_style_tail("other.zip", 0); }},
      {"an old version's tail cut far past the archive's end",
       [&] { old_style_tail("old.zip", std::uint64_t{1} << 24); }},
      {"this archive's tail, the archive since replaced by another under its name",
       [&] {
         LeaveCutOffCommit(scenario);
         fs::remove(archive);
         MakeZip(scenario.dir.path(),
                 "with zipfile.ZipFile('work.zip', 'w') as z:\n"
                 "  z.writestr('fresh.txt', 'made after the crash' * 20)\n");
       }},
      {"this archive's tail, the archive since changed in place before the cut",
       [&] {
         LeaveCutOffCommit(scenario);
         std::string bytes = ReadFile(archive);
         ASSERT_GT(bytes.size(), 40u);
         bytes[40] = static_cast<char>(bytes[40] ^ 0x55);
         std::fstream(archive, std::ios::in | std::ios::out | std::ios::binary)
             .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
       }},
      {"this archive's tail, the archive since cut short of the cut",
       [&] {
         LeaveCutOffCommit(scenario);
         fs::resize_file(archive, 20);
       }},
      {"this archive's tail, its trailer's byte count altered",
       [&] {
         LeaveCutOffCommit(scenario);
         // The count lies 32 bytes into the 60-byte trailer.
         const auto at = static_cast<std::streamoff>(fs::file_size(tail)) - 60 + 32;
         std::fstream file(tail, std::ios::in | std::ios::out | std::ios::binary);
         char byte = 0;
         file.seekg(at);
         file.get(byte);
         file.seekp(at);
         file.put(static_cast<char>(byte ^ 1));
       }},
      {"a link to this archive's tail",
       [&] {
         LeaveCutOffCommit(scenario);
         fs::rename(tail, scenario.dir / "elsewhere");
         fs::create_symlink("elsewhere", tail);
       }},
      {"this archive's tail under a second name too",
       [&] {
         LeaveCutOffCommit(scenario);
         fs::create_hard_link(tail, scenario.dir / "second name");
       }},
      {"this archive's tail, owned by another user",
       [&] {
         LeaveCutOffCommit(scenario);
         ASSERT_TRUE(qm::testing::GiveFileAway(tail, 65534, 65534));
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    if (c.needs_root && !qm::testing::CanGiveFilesAway()) continue;
    scenario.Reset();
    c.plant();
    const std::string archive_before = ReadFile(archive);
    const std::string tail_before = TailAsItStands(tail);
    ZipArchiver archiver;
    ExpectOpenRefusedNamingTheTail(archiver, scenario, 73);
    if (fs::file_size(archive) != archive_before.size()) {
      ADD_FAILURE() << "the archive has " << fs::file_size(archive) << " bytes, had "
                    << archive_before.size();
    } else {
      EXPECT_EQ(ReadFile(archive), archive_before);
    }
    if (fs::exists(fs::symlink_status(tail))) {
      EXPECT_EQ(TailAsItStands(tail), tail_before);
    } else {
      ADD_FAILURE() << "the tail file is gone";
    }
    fs::remove(scenario.dir / "elsewhere");
    fs::remove(scenario.dir / "second name");
  }
}

// Making a new archive under a name whose tail file is still there must not leave that tail
// to be played back over the new archive later: the archive's own tail is settled first, any
// other stops the making.
TEST(TailFileTrust, ANewArchiveIsNeverMadeUnderATailThatCouldBePlayedOverIt) {
  Scenario scenario(kTransactions[3]);
  const fs::path archive = scenario.dir / "work.zip";
  auto make_new = [&](ZipArchiver& archiver) {
    archiver.SetFileName(scenario.dir.U16("work.zip"));
    archiver.OpenArchive(platform::file_mode::kCreate);
    archiver.BeginUpdate();
    archiver.AddFromString(u"fresh.txt", u"the new archive's only entry", 0x20, kWhen);
    archiver.EndUpdate();
    archiver.CloseArchive();
  };
  // Over the cut-off archive itself: its tail belongs to it and goes with it.
  LeaveCutOffCommit(scenario);
  {
    ZipArchiver archiver;
    make_new(archiver);
  }
  ZipArchiver reader;
  OpenForReading(reader, archive);
  ASSERT_EQ(NamesOf(reader.DMHandle()->CDir), std::vector<std::string>{"fresh.txt"});
  reader.CloseArchive();
  EXPECT_FALSE(fs::exists(scenario.dir / "work.zip.qmtail"));

  // Where the archive was deleted after the crash: the tail belongs to no archive there.
  LeaveCutOffCommit(scenario);
  fs::remove(archive);
  ZipArchiver archiver;
  try {
    make_new(archiver);
    ADD_FAILURE() << "made";
  } catch (const ArchiveError& e) {
    EXPECT_EQ(e.NativeError(), 73);
  }
  EXPECT_FALSE(fs::exists(archive));
  EXPECT_TRUE(fs::exists(scenario.dir / "work.zip.qmtail"));
}

// A link put at the tail's name while an update is open (after the open looked there) is not
// followed: the commit refuses before anything is written, wherever the link leads.
TEST(TailFileTrust, ALinkPutAtTheTailsNameDuringAnUpdateIsNeverWrittenThrough) {
  Scenario scenario(kTransactions[3]);
  const fs::path tail = scenario.dir / "work.zip.qmtail";
  for (const bool target_exists : {true, false}) {
    SCOPED_TRACE(target_exists ? "link to a file" : "dangling link");
    scenario.Reset();
    fs::remove(scenario.dir / "victim");
    if (target_exists) WriteFile(scenario.dir / "victim", "someone's data");
    ZipArchiver archiver;
    archiver.SetFileName(scenario.dir.U16("work.zip"));
    archiver.OpenArchive();
    archiver.BeginUpdate();
    archiver.RenameFile(u"b.txt", u"renamed.txt");
    fs::create_symlink("victim", tail);
    try {
      archiver.EndUpdate();
      ADD_FAILURE() << "committed";
    } catch (const ArchiveError& e) {
      EXPECT_EQ(e.NativeError(), 73);
    }
    EXPECT_EQ(NamesOf(archiver.DMHandle()->CDir),
              (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "d.txt"}));
    archiver.CloseArchive();
    EXPECT_EQ(ReadFile(scenario.dir / "work.zip"), scenario.old_bytes);
    EXPECT_TRUE(fs::is_symlink(tail));
    if (target_exists) {
      EXPECT_EQ(ReadFile(scenario.dir / "victim"), "someone's data");
    } else {
      EXPECT_FALSE(fs::exists(scenario.dir / "victim"));
    }
  }
}

// The tail holds the archive's records: nobody but its owner may read it.
TEST(TailFileTrust, TheTailFileIsReadableByItsOwnerAlone) {
  Scenario scenario(kTransactions[3]);
  LeaveCutOffCommit(scenario);
  const auto perms = fs::status(scenario.dir / "work.zip.qmtail").permissions();
  EXPECT_EQ(perms & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

// Written beside and renamed over the old one (the folder cannot hold a tail file), the new
// archive is the old one's to whoever could read or write it: same permissions, same owner
// and group where this process may set them; and nothing of the temporary file is left.
TEST(CommitFaults, AnArchiveWrittenBesideKeepsItsPermissionsAndOwner) {
  Scenario scenario(kTransactions[3]);
  const fs::path archive = scenario.dir / "work.zip";
  struct Case {
    fs::perms perms;
    std::optional<std::uint32_t> owner;  // given away first (a superuser only)
  };
  const Case cases[] = {
      {fs::perms::owner_read | fs::perms::owner_write, std::nullopt},
      {fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read, std::nullopt},
      {fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read, 65534},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.perms));
    if (c.owner && !qm::testing::CanGiveFilesAway()) continue;
    scenario.Reset();
    const std::set<std::string> files_before = scenario.Files();
    fs::permissions(archive, c.perms);
    if (c.owner) {
      ASSERT_TRUE(qm::testing::GiveFileAway(archive, *c.owner, *c.owner));
    }
    platform::Platform& os = platform::Platform::Native();
    const auto before = os.GetFileStatus(archive.u16string(), false);
    ASSERT_TRUE(before);
    FaultPlan plan;
    plan.refuse_tail = true;
    FaultyDisk disk(plan);
    {
      platform::ScopedPlatform installed(disk);
      ZipArchiver archiver;
      scenario.Run(archiver);
      archiver.CloseArchive();
    }
    ASSERT_EQ(ReadFile(archive), scenario.new_bytes);
    const auto after = os.GetFileStatus(archive.u16string(), false);
    ASSERT_TRUE(after);
    EXPECT_FALSE(after->SameFile(*before));  // it was written beside indeed
    EXPECT_EQ(after->unix_mode, before->unix_mode);
    EXPECT_EQ(after->owner, before->owner);
    EXPECT_EQ(after->group, before->group);
    EXPECT_EQ(scenario.Files(), files_before);
  }
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
