// Stored names of disk files and the masks that keep files out or uncompressed, on POSIX paths.
#include "archive/writing/disk_paths.h"

#include <gtest/gtest.h>

#include "fixture_tools.h"

namespace qm::archive::testing {
namespace {

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
  const std::u16string full_base = root.substr(1);  // the root without its leading "/"
  const Case cases[] = {
      {base + u"/a.txt", StorePathMode::spRelativePath, u"a.txt"},
      {base + u"/sub/b.txt", StorePathMode::spRelativePath, u"sub/b.txt"},
      {u"sub/b.txt", StorePathMode::spRelativePath, u"sub/b.txt"},  // relative to the base
      {base + u"/sub/", StorePathMode::spRelativePath, u"sub"},     // a folder's final "/" goes
      {base + u"/sub/b.txt", StorePathMode::spNoPath, u"b.txt"},
      {base + u"/sub/b.txt", StorePathMode::spFullPath, full_base + u"data/sub/b.txt"},
      {base + u"/sub/b.txt", StorePathMode::spFullPathWithDrive, root + u"data/sub/b.txt"},
      // Outside the base folder: the full path, without its root.
      {root + u"other/x.txt", StorePathMode::spRelativePath, full_base + u"other/x.txt"},
      // The base folder itself leaves nothing to store.
      {base, StorePathMode::spRelativePath, u""},
      // A final "." goes, as Windows drops it.
      {base + u"/a.", StorePathMode::spRelativePath, u"a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.source) + " mode " + std::to_string(static_cast<int>(c.mode)));
    EXPECT_EQ(Utf8(BuildStoredName(c.source, base, c.mode, root)), Utf8(c.expected));
  }
}

TEST(MatchesDiskMask, PlainRootedAndFolderMasks) {
  const std::u16string cur = u"/data";
  struct Case {
    const char* what;
    std::u16string path;
    std::u16string mask;
    bool is_folder;
    bool expected;
  };
  const Case cases[] = {
      {"everything", u"/data/x/y.bin", u"*.*", false, true},
      {"a name mask finds the name anywhere below", u"/data/deep/er/a.log", u"*.log", false, true},
      {"without case", u"/data/A.LOG", u"*.log", false, true},
      {"another extension", u"/data/a.txt", u"*.log", false, false},
      {"a relative mask with folders", u"/data/tmp/x.txt", u"tmp/*.txt", false, true},
      {"a relative folder mask", u"/data/tmp", u"tmp", true, true},
      {"a rooted mask in its folder", u"/data/tmp/x.txt", u"/data/tmp/*.txt", false, true},
      {"a rooted mask, another folder", u"/data/tmp/deep/x.txt", u"/data/tmp/*.txt", false, false},
      {"a rooted *.* reaches below its folder", u"/data/tmp/deep/x.txt", u"/data/tmp/*.*", false,
       true},
      {"a rooted exact name (the archive itself)", u"/data/out.zip", u"/data/out.zip", false, true},
      {"a rooted exact name, another file", u"/data/out.zip.bak", u"/data/out.zip", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(MatchesDiskMask(c.path, c.mask, c.is_folder, cur, u""), c.expected);
  }
}

TEST(ResolveMask, RelativeAbsoluteAndDotted) {
  const std::u16string dir = u"/data";
  EXPECT_EQ(Utf8(ResolveMask(u"*.txt", dir, dir).full), "/data/*.txt");
  EXPECT_TRUE(ResolveMask(u"*.txt", dir, dir).plain_relative);
  EXPECT_EQ(Utf8(ResolveMask(u"./x/*.txt", dir, dir).full), "/data/x/*.txt");
  EXPECT_FALSE(ResolveMask(u"./x/*.txt", dir, dir).plain_relative);
  // On POSIX a leading "/" is an absolute path.
  EXPECT_EQ(Utf8(ResolveMask(u"/etc/*.conf", dir, dir).full), "/etc/*.conf");
  EXPECT_EQ(Utf8(ResolveMask(u"../up/*.txt", dir, dir).full), "../up/*.txt");
  EXPECT_TRUE(ResolveMask(u"", dir, dir).full.empty());
}

}  // namespace
}  // namespace qm::archive::testing
