// Delete, update, rename, attributes and comments: what each leaves of the records of the
// entries it does not touch (nothing changed, byte for byte), on archives other tools made;
// the marks several operations in one transaction leave and the records the commit writes
// from them; the rules of the update step and the errors.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "archive/archive_error.h"
#include "archive/directory/dir_manager.h"
#include "extract_helpers.h"
#include "fixture_tools.h"
#include "platform/text.h"
#include "record_view.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;

void SetModified(const fs::path& file, std::time_t when) {
  fs::last_write_time(
      file, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(when)));
}

// The tree made into an archive by another tool, the archive named "tool.zip".
struct ToolRecipe {
  std::string tool;
  std::string command;
};

const ToolRecipe kTools[] = {
    {"zip", "zip -qr tool.zip a.txt empty.txt docs"},
    {"7zz", "7zz a -tzip -bd tool.zip a.txt empty.txt docs >/dev/null"},
    {"jar", "jar cfM tool.zip a.txt empty.txt docs"},
    {"python",
     "python3 -c 'import os,zipfile\n"
     "z=zipfile.ZipFile(\"tool.zip\",\"w\",zipfile.ZIP_DEFLATED)\n"
     "for n in [\"a.txt\",\"empty.txt\",\"docs/b.txt\",\"docs/sub/c.bin\"]: z.write(n)\n"
     "z.close()'"},
};

struct Operation {
  std::string label;
  std::function<void(ZipArchiver&)> run;
  // The entries whose records change, and how.
  std::string renamed_from, renamed_to;  // the data stays
  std::string directory_only;            // the local record stays, the central entry changes
  std::string rewritten;                 // a new record
  std::string removed;
};

std::vector<Operation> Operations() {
  return {
      {"delete front", [](ZipArchiver& a) { a.DeleteFiles(u"a.txt", kAll, u""); }, "", "", "", "",
       "a.txt"},
      {"delete middle", [](ZipArchiver& a) { a.DeleteFiles(u"docs/b.txt", kAll, u""); }, "", "", "",
       "", "docs/b.txt"},
      {"rename", [](ZipArchiver& a) { a.RenameFile(u"docs/b.txt", u"docs/renamed.txt"); },
       "docs/b.txt", "docs/renamed.txt", "", "", ""},
      {"attributes", [](ZipArchiver& a) { a.ChangeFilesAttr(u"a.txt", 0x21); }, "", "", "a.txt", "",
       ""},
      {"comment", [](ZipArchiver& a) { a.ChangeFilesComment(u"docs/sub/c.bin", "a note"); }, "", "",
       "docs/sub/c.bin", "", ""},
      {"update", [](ZipArchiver& a) { a.UpdateFiles(u"a.txt", kAll, u""); }, "", "", "", "a.txt",
       ""},
  };
}

TEST(Maintenance, UntouchedRecordsAreCarriedOverByteForByte) {
  for (const ToolRecipe& recipe : kTools) {
    ScratchDir dir;
    dir.MakeTree();
    MustRun(recipe.command, dir.path());
    const auto before = RecordDigests(dir / "tool.zip");
    ASSERT_GE(before.size(), 4u) << recipe.tool;
    for (const Operation& op : Operations()) {
      SCOPED_TRACE(recipe.tool + ": " + op.label);
      const fs::path archive = dir / ("work-" + recipe.tool + ".zip");
      // Removed first: mingw's copy_file refuses to overwrite whatever the options say.
      fs::remove(archive);
      fs::copy_file(dir / "tool.zip", archive);
      dir.Write("a.txt", "hello again, a newer archive\n");
      ZipArchiver archiver(u"Archiver1");
      archiver.SetFileName(dir.U16(archive.filename().string()));
      archiver.SetBaseDir(dir.U16(""));
      archiver.OpenArchive();
      op.run(archiver);
      archiver.CloseArchive();
      dir.Write("a.txt", "hello, archive\n");

      const auto after = RecordDigests(archive);
      for (const auto& [name, digest] : before) {
        if (name == op.removed) {
          EXPECT_EQ(after.count(name), 0u) << name;
        } else if (name == op.renamed_from) {
          ASSERT_EQ(after.count(op.renamed_to), 1u);
          EXPECT_EQ(after.at(op.renamed_to).data, digest.data) << "data of " << name;
          EXPECT_EQ(after.count(name), 0u);
        } else if (name == op.directory_only) {
          EXPECT_EQ(after.at(name).local, digest.local) << name;
          EXPECT_NE(after.at(name).central, digest.central) << name;
        } else if (name == op.rewritten) {
          EXPECT_NE(after.at(name).data, digest.data) << name;
        } else {
          ASSERT_EQ(after.count(name), 1u) << name;
          EXPECT_EQ(after.at(name), digest) << name;
        }
      }
      EXPECT_EQ(ToolsFindFault(archive), "");
    }
  }
}

// One transaction, several operations on the same entries: the marks after each sequence,
// then what the commit wrote.
struct MarksCase {
  std::string label;
  std::function<void(ZipArchiver&)> run;
  std::string entry;  // the entry to look at, by its name after the sequence
  bool exists = true;
  ProcessOperation mark = ProcessOperation::poAdd;
  std::string old_name;
  std::string content;              // what the entry holds after the commit
  std::string same_data_as;         // or: its stored data is byte for byte that old entry's
  std::uint32_t external_attr = 0;  // when not 0, the attributes after the commit
  std::string comment;
};

TEST(Maintenance, MarksOfSeveralOperationsInOneTransaction) {
  const std::vector<MarksCase> cases = {
      {.label = "rename after change",
       .run =
           [](ZipArchiver& a) {
             a.ChangeFilesAttr(u"a.txt", 0x21);
             a.RenameFile(u"a.txt", u"a2.txt");
           },
       .entry = "a2.txt",
       .mark = ProcessOperation::poRename,
       .old_name = "a.txt",
       .same_data_as = "a.txt",
       .external_attr = 0x21},
      {.label = "change after rename",
       .run =
           [](ZipArchiver& a) {
             a.RenameFile(u"a.txt", u"a2.txt");
             a.ChangeFilesComment(u"a2.txt", "note");
           },
       .entry = "a2.txt",
       .mark = ProcessOperation::poRename,
       .old_name = "a.txt",
       .same_data_as = "a.txt",
       .comment = "note"},
      {.label = "two renames",
       .run =
           [](ZipArchiver& a) {
             a.RenameFile(u"a.txt", u"a2.txt");
             a.RenameFile(u"a2.txt", u"a3.txt");
           },
       .entry = "a3.txt",
       .mark = ProcessOperation::poRename,
       .old_name = "a.txt",
       .same_data_as = "a.txt"},
      {.label = "delete after rename",
       .run =
           [](ZipArchiver& a) {
             a.RenameFile(u"a.txt", u"a2.txt");
             a.DeleteFiles(u"a2.txt", kAll, u"");
           },
       .entry = "a2.txt",
       .exists = false},
      {.label = "change after add",
       .run =
           [](ZipArchiver& a) {
             a.AddFromString(u"new.txt", u"fresh", 0x20, 1700000000);
             a.ChangeFilesAttr(u"new.txt", 0x01);
           },
       .entry = "new.txt",
       .content = "fresh",
       .external_attr = 0x01},
      {.label = "rename after add",
       .run =
           [](ZipArchiver& a) {
             a.AddFromString(u"new.txt", u"fresh", 0x20, 1700000000);
             a.RenameFile(u"new.txt", u"new2.txt");
           },
       .entry = "new2.txt",
       .old_name = "new.txt",
       .content = "fresh"},
      {.label = "rename after update",
       .run =
           [](ZipArchiver& a) {
             a.UpdateFiles(u"b.txt", kAll, u"");
             a.RenameFile(u"b.txt", u"b2.txt");
           },
       .entry = "b2.txt",
       .mark = ProcessOperation::poUpdate,
       .old_name = "b.txt",
       .content = "bee, as on disk now"},
      {.label = "change after change",
       .run =
           [](ZipArchiver& a) {
             a.ChangeFilesComment(u"b.txt", "first");
             a.ChangeFilesAttr(u"b.txt", 0x01);
           },
       .entry = "b.txt",
       .mark = ProcessOperation::poChangeComment,
       .same_data_as = "b.txt",
       .external_attr = 0x01,
       .comment = "first"},
      {.label = "folder renamed twice",
       .run =
           [](ZipArchiver& a) {
             a.RenameFile(u"dir", u"d2");
             a.RenameFile(u"d2", u"d3");
           },
       .entry = "d3/x.txt",
       .mark = ProcessOperation::poRename,
       .old_name = "dir/x.txt",
       .same_data_as = "dir/x.txt"},
  };
  for (const MarksCase& c : cases) {
    SCOPED_TRACE(c.label);
    ScratchDir dir;
    MakeZip(dir.path(),
            "z = zipfile.ZipFile('m.zip', 'w', zipfile.ZIP_DEFLATED)\n"
            "z.writestr('a.txt', 'alpha ' * 50)\n"
            "z.writestr('b.txt', 'bee')\n"
            "z.writestr('dir/', '')\n"
            "z.writestr('dir/x.txt', 'inside ' * 20)\n"
            "z.writestr('c.txt', 'sea')\n"
            "z.close()\n");
    dir.Write("b.txt", "bee, as on disk now");
    const auto before = RecordDigests(dir / "m.zip");
    ZipArchiver archiver(u"Archiver1");
    archiver.SetFileName(dir.U16("m.zip"));
    archiver.SetBaseDir(dir.U16(""));
    archiver.OpenArchive();
    archiver.BeginUpdate();
    c.run(archiver);
    DirArray& cdir = archiver.DMHandle()->CDir;
    std::int32_t index = -1;
    ASSERT_EQ(cdir.FileExists(platform::Utf8ToUtf16(c.entry), index), c.exists);
    if (c.exists) {
      const DirItem& item = cdir.GetItem(index);
      EXPECT_TRUE(item.Modified);
      EXPECT_EQ(item.Operation, c.mark);
      if (!c.old_name.empty()) {
        EXPECT_EQ(Utf8(item.Change().OldName), c.old_name);
      }
    }
    archiver.EndUpdate();
    archiver.CloseArchive();

    const auto after = RecordDigests(dir / "m.zip");
    EXPECT_EQ(after.count(c.entry), c.exists ? 1u : 0u);
    for (const auto& [name, digest] : before) {
      // Entries no operation of the sequence named keep their records.
      if (c.label.find("folder") == std::string::npos && name.starts_with("dir")) {
        EXPECT_EQ(after.at(name), digest) << name;
      }
    }
    if (c.exists) {
      if (!c.same_data_as.empty()) {
        EXPECT_EQ(after.at(c.entry).data, before.at(c.same_data_as).data);
      }
      const ArchiveView view = PythonView(dir / "m.zip");
      for (const EntryView& e : view.entries) {
        if (e.name != c.entry) continue;
        if (c.external_attr != 0) {
          EXPECT_EQ(std::stoul(e.external_attr, nullptr, 16) & 0xFFFF, c.external_attr);
        }
        EXPECT_EQ(e.comment, c.comment);
      }
      if (!c.content.empty()) {
        MustRunPython("import zipfile\nassert zipfile.ZipFile('m.zip').read('" + c.entry +
                          "') == b'" + c.content + "'\n",
                      dir.path());
      }
    }
    EXPECT_EQ(ToolsFindFault(dir / "m.zip"), "");
  }
}

// A small archive of the engine's own, opened for writing.
struct Fixture {
  ScratchDir dir;
  ZipArchiver archiver{u"Archiver1"};
  explicit Fixture(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string program = "z = zipfile.ZipFile('f.zip', 'w')\n";
    for (const auto& [name, content] : entries) {
      program += "z.writestr(zipfile.ZipInfo('" + name + "', (2020, 1, 1, 12, 0, 0)), '" + content +
                 "')\n";
    }
    MakeZip(dir.path(), program + "z.close()\n");
    archiver.SetFileName(dir.U16("f.zip"));
    archiver.SetBaseDir(dir.U16(""));
    archiver.OpenArchive();
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    const DirArray& d = archiver.DMHandle()->CDir;
    for (std::int32_t i = 0; i < d.Count(); ++i) names.push_back(Utf8(d.GetItem(i).Name));
    return names;
  }
  const DirItem& Item(const std::u16string& name) {
    std::int32_t i = -1;
    archiver.DMHandle()->CDir.FileExists(name, i);
    return archiver.DMHandle()->CDir.GetItem(i);
  }
};

TEST(RenameFile, AFolderTakesItsTreeAlongAndOnlyTheFolderPartChanges) {
  Fixture f({{"docs/", ""}, {"docs/a.txt", "a"}, {"docs/Docsindex.txt", "i"}, {"other.txt", "o"}});
  f.archiver.RenameFile(u"docs", u"papers");
  EXPECT_EQ(f.Names(), (std::vector<std::string>{"papers/", "papers/a.txt", "papers/Docsindex.txt",
                                                 "other.txt"}));
  f.archiver.CloseArchive();
  EXPECT_EQ(ToolsFindFault(f.dir / "f.zip"), "");
}

TEST(RenameFile, AFileFoundInASubfolderKeepsItsFolder) {
  Fixture f({{"x/readme.txt", "r"}, {"top.txt", "t"}});
  f.archiver.RenameFile(u"readme.txt", u"README");
  EXPECT_EQ(f.Names(), (std::vector<std::string>{"x/README", "top.txt"}));
}

TEST(RenameFile, ToATakenNameLeavesTwoEntriesOfThatName) {
  Fixture f({{"a.txt", "a"}, {"b.txt", "b"}});
  f.archiver.RenameFile(u"a.txt", u"b.txt");
  EXPECT_EQ(f.Names(), (std::vector<std::string>{"b.txt", "b.txt"}));
}

TEST(Maintenance, ChangesStoreWhatTheRulesSay) {
  Fixture f({{"d/", ""}, {"d/f.txt", "f"}});
  f.archiver.ChangeFilesAttr(u"d", 0x01);
  EXPECT_EQ(f.Item(u"d/").CentralDir.externalAttr, 0x11u);
  f.archiver.ChangeFilesIntAttr(u"d/f.txt", 0x12345);
  EXPECT_EQ(f.Item(u"d/f.txt").CentralDir.internalAttr, 0x2345);
  f.archiver.ChangeFilesComment(u"d/f.txt", "c");
  EXPECT_EQ(f.Item(u"d/f.txt").Record().Comment, "c");
  f.archiver.DeleteFiles(u"nothing*", kAll, u"");  // no match, no error
  EXPECT_EQ(f.Names().size(), 2u);
}

TEST(Maintenance, NothingFoundRaisesTheOperationsError) {
  Fixture f({{"a.txt", "a"}, {"b.txt", "b"}});
  const std::vector<std::pair<std::function<void()>, ErrorSite>> cases = {
      {[&] { f.archiver.RenameFile(u"zz", u"yy"); }, ErrorSite::kRenameSourceNotFound},
      {[&] { f.archiver.ChangeFilesAttr(u"zz", 1); }, ErrorSite::kMaskMatchesNothing},
      {[&] { f.archiver.ChangeFilesComment(u"zz", "c"); }, ErrorSite::kMaskMatchesNothing},
      {[&] { f.archiver.ChangeFilesIntAttr(u"zz", 1); }, ErrorSite::kNothingFound},
  };
  for (const auto& [run, site] : cases) {
    try {
      run();
      ADD_FAILURE() << "no error for native " << static_cast<int>(site);
    } catch (const ArchiveError& e) {
      EXPECT_TRUE(e.Is(site)) << Utf8(e.Message());
    }
  }
  ZipArchiver closed;
  EXPECT_THROW(closed.DeleteFiles(), ArchiveError);
}

// A record counts its name, its extra field and its comment in 16 bits, the end record the
// archive comment: what would not fit is refused before anything changes, the archive and
// the directory as they were.
TEST(Maintenance, NamesAndCommentsTooLongForARecordAreRefused) {
  const std::u16string too_long(70000, u'n');
  struct Case {
    std::string label;
    std::function<void(ZipArchiver&)> run;
    ErrorSite site;
  };
  const Case cases[] = {
      {"RenameToALongName", [&](ZipArchiver& a) { a.RenameFile(u"a.txt", too_long); },
       ErrorSite::kNameTooLong},
      // Two bytes per character in UTF-8: 40000 characters are 80000 bytes.
      {"RenameToALongUtf8Name",
       [&](ZipArchiver& a) { a.RenameFile(u"a.txt", std::u16string(40000, u'\u0436')); },
       ErrorSite::kNameTooLong},
      // The folder's own name fits; the names of its members then do not.
      {"RenameAFolderWhoseMembersOutgrowARecord",
       [&](ZipArchiver& a) { a.RenameFile(u"docs", std::u16string(65530, u'd')); },
       ErrorSite::kNameTooLong},
      // The name's bytes fit, the Unicode name block it brings (two bytes a character) not.
      {"RenameWithUnicodeNameBlocks",
       [&](ZipArchiver& a) {
         a.SetUnicodeFilenames(true);
         a.RenameFile(u"a.txt", std::u16string(40000, u'u'));
       },
       ErrorSite::kNameTooLong},
      {"EntryComment",
       [&](ZipArchiver& a) { a.ChangeFilesComment(u"a.txt", std::string(70000, 'c')); },
       ErrorSite::kCommentTooLong},
      {"ArchiveComment", [&](ZipArchiver& a) { a.SetComment(std::string(70000, 'c')); },
       ErrorSite::kCommentTooLong},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Fixture f({{"a.txt", "a"}, {"docs/", ""}, {"docs/b.txt", "b"}});
    const std::string before = ReadFile(f.dir / "f.zip");
    const std::vector<std::string> names = f.Names();
    try {
      c.run(f.archiver);
      ADD_FAILURE() << "accepted";
    } catch (const ArchiveError& e) {
      EXPECT_TRUE(e.Is(c.site)) << Utf8(e.Message());
    }
    EXPECT_EQ(f.Names(), names);
    EXPECT_FALSE(f.archiver.InUpdate());
    f.archiver.CloseArchive();
    EXPECT_EQ(ReadFile(f.dir / "f.zip"), before);
  }
}

// A new entry whose name a record cannot hold fails alone, through the failure event: the
// others are written, and the archive reads in every tool.
TEST(Maintenance, ANewEntryNamedTooLongFailsAlone) {
  Fixture f({{"a.txt", "a"}, {"b.txt", "b"}});
  std::vector<int> failures;
  f.archiver.OnProcessFileFailure = [&](BaseArchiver&, const std::u16string&, ProcessOperation,
                                        int native, int, const std::u16string&, Action& action) {
    failures.push_back(native);
    action = Action::fxaIgnore;
  };
  f.archiver.BeginUpdate();
  f.archiver.AddFromString(std::u16string(70000, u'n'), u"long", 0x20, 0);
  f.archiver.AddFromString(u"fits.txt", u"fits", 0x20, 0);
  f.archiver.EndUpdate();
  EXPECT_EQ(failures, std::vector<int>{static_cast<int>(ErrorSite::kNameTooLong)});
  EXPECT_EQ(f.Names(), (std::vector<std::string>{"a.txt", "b.txt", "fits.txt"}));
  f.archiver.CloseArchive();
  EXPECT_EQ(ToolsFindFault(f.dir / "f.zip"), "");
}

TEST(UpdateFiles, ReplacesOnlyWhatTheRulesLetThrough) {
  Fixture f({{"newer.txt", "old"}, {"same.txt", "old"}, {"ro.txt", "old"}, {"gone.txt", "old"}});
  // The fixture's entries carry 2020-01-01 12:00:00 local time.
  f.dir.Write("newer.txt", "new content");
  f.dir.Write("same.txt", "new content");
  f.dir.Write("ro.txt", "new content");
  // Exactly the entry's DOS time: 2020-01-01 12:00:00 local time.
  std::tm tm{};
  tm.tm_year = 120;
  tm.tm_mon = 0;
  tm.tm_mday = 1;
  tm.tm_hour = 12;
  tm.tm_isdst = -1;
  SetModified(f.dir / "same.txt", std::mktime(&tm));
  f.archiver.ChangeFilesAttr(u"ro.txt", 0x21);
  f.archiver.Options().OverwriteMode = OverwriteMode::omIfNewer;
  f.archiver.Options().ReplaceReadOnly = false;
  int events = 0;
  f.archiver.OnConfirmOverwrite = [&](BaseArchiver&, const std::u16string&, std::u16string&,
                                      bool&) { ++events; };
  f.archiver.UpdateFiles(u"*.txt", kAll, u"");
  f.archiver.CloseArchive();
  EXPECT_EQ(events, 0);
  MustRunPython(
      "import zipfile\nz = zipfile.ZipFile('f.zip')\n"
      "assert z.read('newer.txt') == b'new content'\n"
      "assert z.read('same.txt') == b'old', 'equal times keep the entry'\n"
      "assert z.read('ro.txt') == b'old', 'the stored read-only bit keeps it'\n"
      "assert z.read('gone.txt') == b'old'\n",
      f.dir.path());
}

// An update the rules decline leaves the entry as the transaction had it: a rename, an
// attribute or comment change made before it is committed as such (not as a rewrite from a
// disk file the entry never had), and a pending move still moves.
TEST(UpdateFiles, ADeclinedUpdateKeepsWhatTheTransactionChangedBefore) {
  struct Change {
    const char* label;
    std::function<void(ZipArchiver&)> apply;
    const char* check;  // Python, on zipfile z
  };
  const Change changes[] = {
      {"attributes", [](ZipArchiver& a) { a.ChangeFilesAttr(u"a.txt", 0x21); },
       "assert z.getinfo('a.txt').external_attr & 0xFF == 0x21\n"},
      {"comment", [](ZipArchiver& a) { a.ChangeFilesComment(u"a.txt", "kept note"); },
       "assert z.getinfo('a.txt').comment == b'kept note'\n"},
      {"rename", [](ZipArchiver& a) { a.RenameFile(u"a.txt", u"a.txt.bak"); },
       "assert z.namelist() == ['a.txt.bak']\nassert z.read('a.txt.bak') == b'old'\n"},
  };
  struct Decline {
    const char* label;
    OverwriteMode mode;
    bool disk_file;
  };
  const Decline declines[] = {{"older disk file", OverwriteMode::omIfNewer, true},
                              {"never", OverwriteMode::omNever, true},
                              {"no disk file", OverwriteMode::omAlways, false}};
  for (const Change& change : changes) {
    for (const Decline& decline : declines) {
      SCOPED_TRACE(std::string(change.label) + ", " + decline.label);
      Fixture f(std::vector<std::pair<std::string, std::string>>{{"a.txt", "old"}});
      if (decline.disk_file) {
        f.dir.Write("a.txt", "disk");
        SetModified(f.dir / "a.txt", 1000000000);  // 2001, before the entry's 2020
      }
      f.archiver.Options().OverwriteMode = decline.mode;
      f.archiver.OnProcessFileFailure = [](BaseArchiver&, const std::u16string&, ProcessOperation,
                                           int, int, const std::u16string&,
                                           Action& action) { action = Action::fxaAbort; };
      f.archiver.BeginUpdate();
      change.apply(f.archiver);
      f.archiver.UpdateFiles(change.label == std::string("rename") ? u"a.txt.bak" : u"a.txt", kAll,
                             u"");
      f.archiver.EndUpdate();
      f.archiver.CloseArchive();
      MustRunPython(std::string("import zipfile\nz = zipfile.ZipFile('f.zip')\n") + change.check +
                        "assert z.read(z.namelist()[0]) == b'old'\n",
                    f.dir.path());
    }
  }
}

TEST(UpdateFiles, ADeclinedUpdateOfAMovedEntryStillMovesItsFile) {
  Fixture f(std::vector<std::pair<std::string, std::string>>{});
  f.dir.Write("src/m.txt", "moved");
  SetModified(f.dir / "src/m.txt", 1600000000);
  f.dir.Write("m.txt", "older");
  SetModified(f.dir / "m.txt", 1000000000);
  f.archiver.Options().OverwriteMode = OverwriteMode::omIfNewer;
  f.archiver.BeginUpdate();
  f.archiver.SetBaseDir(f.dir.U16("src"));
  f.archiver.MoveFiles(u"m.txt", kAll, u"");
  f.archiver.SetBaseDir(f.dir.U16(""));
  f.archiver.UpdateFiles(u"m.txt", kAll, u"");
  f.archiver.EndUpdate();
  f.archiver.CloseArchive();
  EXPECT_FALSE(fs::exists(f.dir / "src/m.txt"));
  MustRunPython("import zipfile\nassert zipfile.ZipFile('f.zip').read('m.txt') == b'moved'\n",
                f.dir.path());
}

}  // namespace
}  // namespace qm::archive::testing
