// Adding at the directory level: which files the walk finds, the entries it makes (names,
// attributes, times, methods, marks), replacement of same-named entries, the events on the
// way, and the items from streams, buffers and strings. The entries are looked at inside the
// caller's own transaction, before any commit.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>

#include "archive/archive_error.h"
#include "archive/directory/dir_manager.h"
#include "fixture_tools.h"
#include "platform/dos_time.h"
#include "platform/memory_stream.h"
#include "platform/platform_wrapper.h"

namespace qm::archive::testing {
namespace {

namespace fs = std::filesystem;
using platform::MemoryStream;

constexpr std::int32_t kAll = ArchiveOptions::kDefaultSearchAttr;
constexpr std::int32_t kFilesOnly = kAll & ~0x10;

// A new archive in memory, inside a transaction the test holds open.
struct OpenArchive {
  MemoryStream stream;
  ZipArchiver archiver{u"Archiver1"};

  OpenArchive() {
    archiver.OpenArchive(stream, true);
    archiver.BeginUpdate();
  }
  const DirArray& Dir() { return archiver.DMHandle()->CDir; }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (std::int32_t i = 0; i < Dir().Count(); ++i) names.push_back(Utf8(Dir().GetItem(i).Name));
    std::sort(names.begin(), names.end());
    return names;
  }
  const DirItem& Item(const std::string& name) {
    for (std::int32_t i = 0; i < Dir().Count(); ++i) {
      if (Utf8(Dir().GetItem(i).Name) == name) return Dir().GetItem(i);
    }
    throw std::runtime_error("no item " + name);
  }
};

using Names = std::vector<std::string>;

// File names as Windows has them: a.txt and A.TXT name one file. (Or as POSIX has them, where
// they are two.)
class NamesCase final : public platform::PlatformWrapper {
 public:
  explicit NamesCase(bool sensitive)
      : PlatformWrapper(platform::Platform::Current()), sensitive_(sensitive) {}
  bool FileNamesAreCaseSensitive() override { return sensitive_; }

 private:
  bool sensitive_;
};

void SetModified(const fs::path& file, std::time_t when) {
  fs::last_write_time(
      file, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(when)));
}

TEST(AddFiles, WhatTheWalkFinds) {
  ScratchDir dir;
  dir.MakeTree();  // a.txt, empty.txt, docs/b.txt, docs/sub/c.bin
  dir.Write("docs/tmp/t.txt", "t");
  dir.Write("docs/tmp/deep/u.txt", "u");
  struct Case {
    const char* what;
    std::u16string mask;
    std::int32_t attributes;
    std::u16string exclusion;
    bool recurse;
    Names expected;
  };
  const Case cases[] = {
      {"files below the base, recursively",
       u"*.txt",
       kFilesOnly,
       u"",
       true,
       {"a.txt", "docs/b.txt", "docs/tmp/deep/u.txt", "docs/tmp/t.txt", "empty.txt"}},
      {"not recursively", u"*.txt", kFilesOnly, u"", false, {"a.txt", "empty.txt"}},
      {"a relative folder mask", u"docs/*.txt", kFilesOnly, u"", false, {"docs/b.txt"}},
      {"folders become entries and are walked, even without recursion",
       u"docs",
       kAll,
       u"",
       false,
       {"docs/", "docs/b.txt", "docs/sub/", "docs/sub/c.bin", "docs/tmp/", "docs/tmp/deep/",
        "docs/tmp/deep/u.txt", "docs/tmp/t.txt"}},
      {"an excluded folder is neither added nor entered",
       u"docs",
       kAll,
       u"docs/tmp",
       false,
       {"docs/", "docs/b.txt", "docs/sub/", "docs/sub/c.bin"}},
      {"a name exclusion",
       u"*.*",
       kFilesOnly,
       u"*.bin",
       true,
       {"a.txt", "docs/b.txt", "docs/tmp/deep/u.txt", "docs/tmp/t.txt", "empty.txt"}},
      {"a rooted *.* exclusion reaches below its folder",
       u"*.txt",
       kFilesOnly,
       dir.U16("docs/tmp/*.*"),
       true,
       {"a.txt", "docs/b.txt", "empty.txt"}},
      {"one file by its full name", dir.U16("docs/sub/c.bin"), kAll, u"", true, {"docs/sub/c.bin"}},
      // A path that ends in a folder step names the folder; the base folder itself has no name
      // of its own, so it gives only what is in it.
      {"the base folder as \".\"",
       u".",
       kAll,
       u"docs/tmp",
       false,
       {"a.txt", "docs/", "docs/b.txt", "docs/sub/", "docs/sub/c.bin", "empty.txt"}},
      {"a folder with a final separator",
       u"docs/sub/",
       kAll,
       u"",
       false,
       {"docs/sub/", "docs/sub/c.bin"}},
      {"a rooted folder with \"/.\"",
       dir.U16("docs/sub/."),
       kAll,
       u"",
       false,
       {"docs/sub/", "docs/sub/c.bin"}},
      {"\".\" for files only, recursively", u".", kFilesOnly, u"*.txt", true, {"docs/sub/c.bin"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OpenArchive a;
    a.archiver.SetBaseDir(dir.U16(""));
    a.archiver.Options().Recurse = c.recurse;
    a.archiver.AddFiles(c.mask, c.attributes, c.exclusion);
    EXPECT_EQ(a.Names(), c.expected);
  }
}

TEST(AddFiles, SeveralMasksFindWhatEachFindsAlone) {
  // Each recursive mask is looked for in every folder below the base: the masks after the
  // first walk folders the first one listed already.
  ScratchDir dir;
  dir.MakeTree();  // a.txt, empty.txt, docs/b.txt, docs/sub/c.bin
  dir.Write("docs/sub/a.txt", "a");
  dir.Write("sub/sub/b.txt", "b");
  const std::vector<std::u16string> masks = {u"sub", u"*.bin", u"a.txt", u"docs", u"*.txt"};
  auto in_order = [](OpenArchive& a) {
    Names names;
    for (std::int32_t i = 0; i < a.Dir().Count(); ++i)
      names.push_back(Utf8(a.Dir().GetItem(i).Name));
    return names;
  };
  OpenArchive together;
  together.archiver.SetBaseDir(dir.U16(""));
  together.archiver.Options().Recurse = true;
  together.archiver.SetFileMasks(masks);
  together.archiver.AddFiles();
  OpenArchive one_by_one;
  one_by_one.archiver.SetBaseDir(dir.U16(""));
  one_by_one.archiver.Options().Recurse = true;
  for (const std::u16string& mask : masks) one_by_one.archiver.AddFiles(mask, kAll, u"");
  EXPECT_EQ(in_order(together), in_order(one_by_one));
  EXPECT_EQ(together.Names(),
            (Names{"a.txt", "docs/", "docs/b.txt", "docs/sub/", "docs/sub/a.txt", "docs/sub/c.bin",
                   "empty.txt", "sub/", "sub/sub/", "sub/sub/b.txt"}));
}

TEST(AddFiles, TheArchiveIsNeverAddedToItself) {
  ScratchDir dir;
  dir.Write("a.txt", "a");
  dir.Write("out.zip", "");
  for (bool move : {false, true}) {
    SCOPED_TRACE(move ? "MoveFiles" : "AddFiles");
    ZipArchiver archiver;
    archiver.SetFileName(dir.U16("out.zip"));
    std::error_code ignored;
    fs::remove(dir / "out.zip", ignored);
    archiver.OpenArchive();
    archiver.BeginUpdate();
    archiver.SetBaseDir(dir.U16(""));
    archiver.SetFileMasks({u"*.*"});
    if (move) {
      archiver.MoveFiles();
    } else {
      archiver.AddFiles();
    }
    const DirArray& d = archiver.DMHandle()->CDir;
    ASSERT_EQ(d.Count(), 1);
    EXPECT_EQ(Utf8(d.GetItem(0).Name), "a.txt");
    EXPECT_EQ(d.GetItem(0).Operation, move ? ProcessOperation::poMove : ProcessOperation::poAdd);
    archiver.CancelUpdate();
  }
}

TEST(AddFiles, SymbolicLinks) {
  ScratchDir dir;
  dir.Write("tree/a.txt", "a");
  dir.Write("target.txt", "target");
  if (!CanMakeSymbolicLinks(dir.path())) GTEST_SKIP() << "no symbolic links here";
  fs::create_directory_symlink(dir / "tree", dir / "tree" / "loop");
  fs::create_symlink(dir / "target.txt", dir / "tree" / "link.txt");
  OpenArchive a;
  a.archiver.SetBaseDir(dir.U16("tree"));
  a.archiver.AddFiles(u"*.*", kAll, u"");
  // The link to a folder (here: back up the tree) is passed over; the link to a file stores
  // what it points to.
  EXPECT_EQ(a.Names(), (Names{"a.txt", "link.txt"}));
  EXPECT_EQ(a.Item("link.txt").UncompressedSize(), 6u);
}

TEST(AddFiles, EntryFields) {
  ScratchDir dir;
  dir.Write("a.txt", "hello");
  dir.Write("pics/p.jpg", "jpeg");
  dir.Write(".hidden", "h");
  fs::permissions(dir / "a.txt", fs::perms::owner_write, fs::perm_options::remove);
  const std::time_t when = platform::DosDateTimeToUnixTime(0x5A216000).value();  // 2025-01-01 12:00
  SetModified(dir / "a.txt", when);

  OpenArchive a;
  a.archiver.SetBaseDir(dir.U16(""));
  a.archiver.SetPassword("pw");
  a.archiver.SetCompressionMode(6);
  a.archiver.SetNoCompressionMasks({u"*.jpg"});
  a.archiver.AddFiles(u"*.*", kAll, u"");
  EXPECT_EQ(a.Names(), (Names{".hidden", "a.txt", "pics/", "pics/p.jpg"}));

  const DirItem& file = a.Item("a.txt");
  EXPECT_TRUE(file.Modified);
  EXPECT_EQ(file.Operation, ProcessOperation::poAdd);
  EXPECT_EQ(Utf8(file.Change().SrcFileName), Utf8(dir.U16("a.txt")));
  EXPECT_EQ(file.CentralDir.externalAttr, 0x21u);  // archive, read-only
  EXPECT_EQ(file.CentralDir.lastModDate, 0x5A21);
  EXPECT_EQ(file.CentralDir.lastModTime, 0x6000);
  EXPECT_EQ(file.CentralDir.versionMadeBy, 20);
  EXPECT_EQ(file.CentralDir.genPurposeFlag, gpf::kEncrypted);
  EXPECT_EQ(file.CentralDir.compMethod, 8);
  EXPECT_EQ(file.CompressionMode, 6);
  EXPECT_EQ(file.CentralDir.crc32, 0xFFFFFFFFu);
  EXPECT_EQ(file.CentralDir.unCompSize, 5u);
  EXPECT_EQ(file.Change().Password, "pw");

  EXPECT_EQ(a.Item(".hidden").CentralDir.externalAttr & 0x02, 0x02u);
  const DirItem& jpg = a.Item("pics/p.jpg");
  EXPECT_EQ(jpg.CompressionMode, 0);
  EXPECT_EQ(jpg.CentralDir.compMethod, 0);

  const DirItem& folder = a.Item("pics/");
  EXPECT_EQ(folder.CentralDir.externalAttr & 0x10, 0x10u);
  EXPECT_EQ(folder.CentralDir.genPurposeFlag, gpf::kDirectoryEntry);
  EXPECT_EQ(folder.CentralDir.crc32, 0u);
  EXPECT_EQ(folder.CentralDir.compMethod, 0);
  EXPECT_EQ(folder.CompressionMode, 0);
}

TEST(AddFiles, ZipModeMarksEverySourceUnderZmAlways) {
  ScratchDir dir;
  dir.Write("a.txt", "hello");
  OpenArchive a;
  a.archiver.SetZip64Mode(Zip64Mode::zmAlways);
  a.archiver.SetBaseDir(dir.U16(""));
  a.archiver.AddFiles(u"a.txt", kAll, u"");
  const DirItem& item = a.Item("a.txt");
  EXPECT_TRUE(item.bHugeFile);
  EXPECT_EQ(item.CentralDir.unCompSize, kEscape32);
  EXPECT_EQ(item.Record().Zip64ExtInfo.uncompSize, 5u);
}

TEST(AddFiles, SameNamedEntriesByOverwriteMode) {
  const std::uint32_t old_time = 0x5A216000;
  struct Case {
    OverwriteMode mode;
    std::uint32_t disk_time;
    bool replaced;
  };
  const Case cases[] = {{OverwriteMode::omAlways, old_time, true},
                        {OverwriteMode::omNever, old_time + 0x02000000, false},
                        {OverwriteMode::omIfNewer, old_time, false},  // equal: not newer
                        {OverwriteMode::omIfNewer, old_time + 0x02000000, true},
                        {OverwriteMode::omIfOlder, old_time + 0x02000000, false},
                        {OverwriteMode::omIfOlder, old_time - 0x02000000, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "mode " << int(c.mode) << " time " << std::hex << c.disk_time);
    ScratchDir dir;
    dir.Write("A.TXT", "new content");
    const std::time_t t = platform::DosDateTimeToUnixTime(c.disk_time).value();
    SetModified(dir / "A.TXT", t);
    NamesCase windows(false);
    platform::ScopedPlatform installed(windows);
    OpenArchive a;
    a.archiver.AddFromString(u"a.txt", u"old", 0x20,
                             platform::DosDateTimeToUnixTime(old_time).value());
    a.archiver.SetBaseDir(dir.U16(""));
    a.archiver.Options().OverwriteMode = c.mode;
    a.archiver.AddFiles(u"*.*", kAll, u"");
    ASSERT_EQ(a.Dir().Count(), 1);
    const DirItem& item = a.Dir().GetItem(0);
    if (c.replaced) {
      EXPECT_EQ(Utf8(item.Name), "A.TXT");  // the new spelling
      EXPECT_EQ(item.Operation, ProcessOperation::poUpdate);
      EXPECT_EQ(item.Change().Stream, nullptr);
      EXPECT_EQ(item.CentralDir.unCompSize, 11u);
    } else {
      EXPECT_EQ(Utf8(item.Name), "a.txt");
      EXPECT_EQ(item.CentralDir.unCompSize, 3u);
    }
  }
}

// Where file names are case-sensitive, a.txt and A.txt are two files, and the archive keeps
// both, whether one is added next to the other or both in one go; a name spelled alike
// still replaces. Where they are not, the second replaces the first.
TEST(AddFiles, NamesDifferingInCaseAreTwoFilesWhereThePlatformSaysSo) {
  for (const bool sensitive : {true, false}) {
    SCOPED_TRACE(sensitive ? "case-sensitive" : "case-blind");
    NamesCase names(sensitive);
    platform::ScopedPlatform installed(names);
    ScratchDir dir;
    dir.Write("one/A.txt", "upper");
    dir.Write("two/a.txt", "lower");
    OpenArchive a;
    a.archiver.AddFromString(u"a.txt", u"in the archive", 0x20, 0);
    a.archiver.SetBaseDir(dir.U16("one"));
    a.archiver.AddFiles(u"*.*", kAll, u"");
    EXPECT_EQ(a.Names(), sensitive ? (Names{"A.txt", "a.txt"}) : (Names{"A.txt"}));
    a.archiver.SetBaseDir(dir.U16("two"));
    a.archiver.AddFiles(u"*.*", kAll, u"");
    EXPECT_EQ(a.Names(), sensitive ? (Names{"A.txt", "a.txt"}) : (Names{"a.txt"}));
    EXPECT_EQ(a.Item("a.txt").Operation, ProcessOperation::poUpdate);

    OpenArchive b;
    b.archiver.AddFromString(u"A.txt", u"1", 0x20, 0);
    b.archiver.AddFromString(u"a.txt", u"2", 0x20, 0);
    b.archiver.AddFromString(u"a.txt", u"3", 0x20, 0);
    EXPECT_EQ(b.Names(), sensitive ? (Names{"A.txt", "a.txt"}) : (Names{"a.txt"}));
  }
}

TEST(AddFiles, EventsOnTheWay) {
  ScratchDir dir;
  dir.Write("keep.txt", "k");
  dir.Write("skip.txt", "s");
  dir.Write("rename.txt", "r");
  dir.Write("excluded.log", "x");
  OpenArchive a;
  a.archiver.AddFromString(u"renamed/r.txt", u"old", 0x20, 0);
  std::vector<std::string> seen;
  a.archiver.OnConfirmProcessFile = [&](BaseArchiver&, const std::u16string& name,
                                        ProcessOperation operation, bool& confirm) {
    const std::string file = fs::path(Utf8(name)).filename().string();
    seen.push_back("confirm " + file);
    EXPECT_EQ(operation, ProcessOperation::poMove);
    confirm = file != "skip.txt";
  };
  a.archiver.OnStoreFile = [&](BaseArchiver&, std::u16string& name, std::int32_t& attributes,
                               std::string& comment, const std::u16string&) {
    seen.push_back("store " + Utf8(name));
    if (name == u"rename.txt") name = u"renamed/r.txt";
    if (name == u"keep.txt") {
      comment = "a comment";
      attributes |= 0x04;
    }
  };
  a.archiver.OnConfirmOverwrite = [&](BaseArchiver&, const std::u16string&,
                                      std::u16string& destination, bool& confirm) {
    seen.push_back("overwrite " + Utf8(destination));
    confirm = true;
  };
  a.archiver.Options().OverwriteMode = OverwriteMode::omPrompt;
  a.archiver.SetBaseDir(dir.U16(""));
  a.archiver.MoveFiles(u"*.txt", kAll, u"");
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<std::string>{"confirm keep.txt", "confirm rename.txt",
                                            "confirm skip.txt", "overwrite renamed/r.txt",
                                            "store keep.txt", "store rename.txt"}));
  EXPECT_EQ(a.Names(), (Names{"keep.txt", "renamed/r.txt"}));
  EXPECT_EQ(a.Item("keep.txt").Record().Comment, "a comment");
  EXPECT_EQ(a.Item("keep.txt").CentralDir.commentLength, 9);
  EXPECT_EQ(a.Item("keep.txt").CentralDir.externalAttr & 0x04, 0x04u);
  EXPECT_EQ(a.Item("renamed/r.txt").Operation, ProcessOperation::poMove);
  EXPECT_EQ(a.Item("renamed/r.txt").CentralDir.unCompSize, 1u);
}

TEST(AddFromStream, StreamItems) {
  std::vector<unsigned char> hundred(100);
  for (int i = 0; i < 100; ++i)
    hundred[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
  MemoryStream source(hundred);
  source.SetPosition(42);
  OpenArchive a;
  a.archiver.AddFromStream(u"whole.bin", source, false, 10, 5, 0x20, 0);
  a.archiver.AddFromStream(u"window\\w.bin", source, true, 10, 5, 0x21, 0);
  a.archiver.AddFromBuffer(u"buffer.bin", hundred.data(), 3, 0x20, 0);
  a.archiver.AddFromString(u"x/y.txt", u"ab\u00E9", 0x20,
                           platform::DosDateTimeToUnixTime(0x5A216000).value());
  EXPECT_EQ(source.Position(), 42);  // the caller's position is left as it was

  const DirItem& whole = a.Item("whole.bin");
  EXPECT_EQ(whole.Change().Stream.get(), &source);
  EXPECT_FALSE(whole.Change().bDestroyStream);
  EXPECT_EQ(whole.Change().Position, 10);
  EXPECT_EQ(whole.CentralDir.unCompSize, 100u);
  EXPECT_TRUE(whole.Change().SrcFileName.empty());

  const DirItem& window = a.Item("window/w.bin");
  ASSERT_NE(window.Change().Stream, nullptr);
  EXPECT_TRUE(window.Change().bDestroyStream);
  auto* copy = dynamic_cast<MemoryStream*>(window.Change().Stream.get());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Data(), (std::vector<unsigned char>{10, 11, 12, 13, 14}));
  EXPECT_EQ(window.CentralDir.unCompSize, 5u);
  EXPECT_EQ(window.CentralDir.externalAttr, 0x21u);

  const DirItem& text = a.Item("x/y.txt");
  EXPECT_EQ(dynamic_cast<MemoryStream&>(*text.Change().Stream).Data(),
            (std::vector<unsigned char>{'a', 'b', 0xE9}));
  EXPECT_EQ(text.CentralDir.lastModDate, 0x5A21);
  EXPECT_EQ(text.CentralDir.lastModTime, 0x6000);
  EXPECT_EQ(text.Operation, ProcessOperation::poAdd);

  // Time 0 is now.
  const std::uint32_t now = platform::UnixTimeToDosDateTime(std::time(nullptr));
  const std::uint32_t stamped = (std::uint32_t{a.Item("buffer.bin").CentralDir.lastModDate} << 16) |
                                a.Item("buffer.bin").CentralDir.lastModTime;
  EXPECT_LE(now - stamped, 4u);
}

TEST(AddFromStream, KeptEntriesAndFolderItems) {
  OpenArchive a;
  a.archiver.AddFromString(u"a.txt", u"first", 0x20, 0);
  a.archiver.Options().OverwriteMode = OverwriteMode::omNever;
  a.archiver.AddFromBuffer(u"a.txt", "second", 6, 0x20, 0);
  ASSERT_EQ(a.Dir().Count(), 1);
  EXPECT_EQ(a.Item("a.txt").CentralDir.unCompSize, 5u);
  {
    NamesCase windows(false);
    platform::ScopedPlatform installed(windows);
    a.archiver.AddFromBuffer(u"A.TXT", "second", 6, 0x20, 0);
    ASSERT_EQ(a.Dir().Count(), 1);
    EXPECT_EQ(a.Item("a.txt").CentralDir.unCompSize, 5u);
  }

  a.archiver.AddFromString(u"folder\\", u"", 0x10, 0);
  const DirItem& folder = a.Item("folder/");  // a folder's name ends with "/"
  EXPECT_EQ(folder.CentralDir.genPurposeFlag, gpf::kDirectoryEntry);
  EXPECT_EQ(folder.CompressionMode, 0);
}

TEST(AddFromStream, GuardsAndInsideOneTransaction) {
  ZipArchiver closed;
  try {
    closed.AddFromString(u"a.txt", u"a", 0x20, 0);
    ADD_FAILURE() << "no error";
  } catch (const ArchiveError& e) {
    EXPECT_TRUE(e.Is(ErrorSite::kArchiveNotOpen));
  }
  // Several adds inside the caller's transaction wait for its last EndUpdate.
  OpenArchive a;
  a.archiver.BeginUpdate();
  a.archiver.AddFromString(u"one.txt", u"1", 0x20, 0);
  a.archiver.AddFromString(u"two.txt", u"2", 0x20, 0);
  EXPECT_TRUE(a.archiver.InUpdate());
  EXPECT_EQ(a.Names(), (Names{"one.txt", "two.txt"}));
  a.archiver.CancelUpdate();
  EXPECT_EQ(a.Dir().Count(), 0);
}

}  // namespace
}  // namespace qm::archive::testing
