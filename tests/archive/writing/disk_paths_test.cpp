// Stored names of disk files and the masks that keep files out or uncompressed. The cases are
// written with "/" and a leading "/" for the root and run on the platform's own paths ("C:\"
// where paths have drives).
#include "archive/writing/disk_paths.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "archive/names/path_rules.h"
#include "fixture_tools.h"
#include "platform/platform.h"

namespace qm::archive::testing {
namespace {

std::u16string Native(std::u16string path) {
  std::replace(path.begin(), path.end(), u'/', platform::kPathSeparator);
  return path;
}

// A path from the root, on drive C: where paths have drives.
std::u16string Rooted(const std::u16string& path) {
  return (PlatformHasDrives() ? u"C:" : u"") + Native(path);
}

// A disk path as a stored name shows it: "/" separators.
std::u16string Stored(std::u16string path) {
  std::replace(path.begin(), path.end(), platform::kPathSeparator, u'/');
  return path;
}

TEST(BuildStoredName, ByStorePathMode) {
  ScratchDir dir;
  dir.Write("data/a.txt", "a");
  dir.Write("data/sub/b.txt", "b");
  dir.Write("other/x.txt", "x");
  const std::u16string root = dir.U16("");
  const std::u16string base = root + u"data";
  struct Case {
    std::u16string source;
    StorePathMode mode;
    std::u16string expected;
  };
  const std::u16string sep(1, platform::kPathSeparator);
  // The root as stored with its drive, and without it ("/" or "C:/").
  const std::u16string with_drive = Stored(root);
  const std::u16string full_base = with_drive.substr(PlatformHasDrives() ? 3 : 1);
  const Case cases[] = {
      {base + Native(u"/a.txt"), StorePathMode::spRelativePath, u"a.txt"},
      {base + Native(u"/sub/b.txt"), StorePathMode::spRelativePath, u"sub/b.txt"},
      {Native(u"sub/b.txt"), StorePathMode::spRelativePath, u"sub/b.txt"},  // relative to the base
      {base + Native(u"/sub/"), StorePathMode::spRelativePath,
       u"sub"},  // a folder's final separator goes
      {base + Native(u"/sub/b.txt"), StorePathMode::spNoPath, u"b.txt"},
      {base + Native(u"/sub/b.txt"), StorePathMode::spFullPath, full_base + u"data/sub/b.txt"},
      {base + Native(u"/sub/b.txt"), StorePathMode::spFullPathWithDrive,
       with_drive + u"data/sub/b.txt"},
      // Outside the base folder: the full path, without its root.
      {root + Native(u"other/x.txt"), StorePathMode::spRelativePath, full_base + u"other/x.txt"},
      // The base folder itself leaves nothing to store.
      {base, StorePathMode::spRelativePath, u""},
      // A final "." goes, as Windows drops it.
      {base + Native(u"/a."), StorePathMode::spRelativePath, u"a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.source) + " mode " + std::to_string(static_cast<int>(c.mode)));
    EXPECT_EQ(Utf8(BuildStoredName(c.source, base, c.mode, root)), Utf8(c.expected));
  }
}

TEST(MatchesDiskMask, PlainRootedAndFolderMasks) {
  const std::u16string cur = Rooted(u"/data");
  struct Case {
    const char* what;
    std::u16string path;
    std::u16string mask;
    bool is_folder;
    bool expected;
  };
  const Case cases[] = {
      {"everything", Rooted(u"/data/x/y.bin"), u"*.*", false, true},
      {"a name mask finds the name anywhere below", Rooted(u"/data/deep/er/a.log"), u"*.log", false,
       true},
      {"without case", Rooted(u"/data/A.LOG"), u"*.log", false, true},
      {"another extension", Rooted(u"/data/a.txt"), u"*.log", false, false},
      {"a relative mask with folders", Rooted(u"/data/tmp/x.txt"), u"tmp/*.txt", false, true},
      {"a relative folder mask", Rooted(u"/data/tmp"), u"tmp", true, true},
      {"a rooted mask in its folder", Rooted(u"/data/tmp/x.txt"), Rooted(u"/data/tmp/*.txt"), false,
       true},
      {"a rooted mask, another folder", Rooted(u"/data/tmp/deep/x.txt"), Rooted(u"/data/tmp/*.txt"),
       false, false},
      {"a rooted *.* reaches below its folder", Rooted(u"/data/tmp/deep/x.txt"),
       Rooted(u"/data/tmp/*.*"), false, true},
      {"a rooted exact name (the archive itself)", Rooted(u"/data/out.zip"),
       Rooted(u"/data/out.zip"), false, true},
      {"a rooted exact name, another file", Rooted(u"/data/out.zip.bak"), Rooted(u"/data/out.zip"),
       false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(MatchesDiskMask(c.path, c.mask, c.is_folder, cur, u""), c.expected);
  }
}

TEST(ResolveMask, RelativeAbsoluteAndDotted) {
  const std::u16string dir = Rooted(u"/data");
  struct Case {
    std::u16string mask;
    std::u16string full;
    bool plain_relative;
  };
  const Case cases[] = {
      {u"*.txt", Rooted(u"/data/*.txt"), true},
      {u"x/*.txt", Rooted(u"/data/x/*.txt"), true},
      {u"./x/*.txt", Rooted(u"/data/x/*.txt"), false},
      {u"../up/*.txt", Native(u"../up/*.txt"), false},
      // A leading separator: an absolute path on POSIX; where paths have drives, the folder's.
      {u"/etc/*.conf", PlatformHasDrives() ? Rooted(u"/data/etc/*.conf") : u"/etc/*.conf", false},
      {u"", u"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.mask));
    const ResolvedMask resolved = ResolveMask(c.mask, dir, dir);
    EXPECT_EQ(Utf8(resolved.full), Utf8(c.full));
    EXPECT_EQ(resolved.plain_relative, c.plain_relative);
  }
}

}  // namespace
}  // namespace qm::archive::testing
