// Item search by masks, exclusion masks, folders and attributes, on an archive made by Python.
#include <gtest/gtest.h>

#include "archive/names/file_masks.h"
#include "fixture_tools.h"
#include "platform/platform.h"

namespace qm::archive::testing {
namespace {

class Search : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new ScratchDir;
    MustRunPython(
        "import zipfile\n"
        "def add(z, name, data=b'', attr=0x20, method=zipfile.ZIP_STORED):\n"
        "  info = zipfile.ZipInfo(name, (2021, 6, 7, 8, 9, 10))\n"
        "  info.external_attr = attr\n"
        "  info.compress_type = method\n"
        "  z.writestr(info, data)\n"
        "with zipfile.ZipFile('out.zip', 'w') as z:\n"
        "  add(z, 'a.txt', b'a' * 1000, method=zipfile.ZIP_DEFLATED)\n"
        "  add(z, 'abc')\n"
        "  add(z, 'ac', b'x', method=zipfile.ZIP_DEFLATED)\n"
        "  add(z, 'readme')\n"
        "  add(z, 'readme.txt', b'r')\n"
        "  add(z, 'docs/', attr=0x10)\n"
        "  add(z, 'docs/a.txt', b'd')\n"
        "  add(z, 'docs/sub/b.txt', b'b')\n"
        "  add(z, 'docs/x.bak', b'k')\n"
        "  add(z, 'old/x.txt', b'o')\n"
        "  add(z, 'hidden.txt', b'h', attr=0x22)\n",
        dir_->path());
  }
  static void TearDownTestSuite() { delete dir_; }

  void SetUp() override {
    archiver_.SetFileName(dir_->U16("out.zip"));
    archiver_.OpenArchive(0x0040);
  }

  std::vector<std::string> Find(const std::u16string& mask, std::int32_t attr = 0x28BF,
                                const std::u16string& exclusion = u"") {
    std::vector<std::string> names;
    ArchiveItem f;
    for (bool ok = archiver_.FindFirst(mask, f, attr, exclusion); ok; ok = archiver_.FindNext(f)) {
      names.push_back(Utf8(archiver_.DMHandle()->CDir.GetItem(f.Handle.ItemNo).Name));
    }
    return names;
  }
  std::vector<std::string> FindByLists() {
    std::vector<std::string> names;
    ArchiveItem f;
    for (bool ok = archiver_.FindFirst(f); ok; ok = archiver_.FindNext(f)) {
      names.push_back(Utf8(archiver_.DMHandle()->CDir.GetItem(f.Handle.ItemNo).Name));
    }
    return names;
  }

  static ScratchDir* dir_;
  ZipArchiver archiver_;
};
ScratchDir* Search::dir_ = nullptr;

using Names = std::vector<std::string>;
const Names kAll = {"a.txt",      "abc",       "ac",         "readme",
                    "readme.txt", "docs/",     "docs/a.txt", "docs/sub/b.txt",
                    "docs/x.bak", "old/x.txt", "hidden.txt"};

TEST_F(Search, MasksWithRecursion) {
  struct Case {
    std::u16string mask;
    Names expected;
  };
  const Case cases[] = {
      {u"*.*", kAll},
      {u"*", kAll},
      {u"*.TXT",
       {"a.txt", "readme.txt", "docs/a.txt", "docs/sub/b.txt", "old/x.txt", "hidden.txt"}},
      {u"a?c", {"abc"}},
      {u"*.tx", {}},
      {u"a**", {"a.txt", "abc", "ac", "docs/a.txt"}},  // never an empty remainder after "*"
      {u"docs/*.txt", {"docs/a.txt", "docs/sub/b.txt"}},
      {u"docs\\*.txt", {"docs/a.txt", "docs/sub/b.txt"}},
      {u"a.txt", {"a.txt", "docs/a.txt"}},
      {u"readme.", {"readme"}},
      {u"*.", {"abc", "ac", "readme", "docs/"}},
      {u"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Find(c.mask), c.expected) << Utf8(c.mask);
}

TEST_F(Search, WithoutRecursionOnlyTheMasksFolder) {
  archiver_.Options().Recurse = false;
  EXPECT_EQ(Find(u"docs/*.txt"), (Names{"docs/a.txt"}));
  EXPECT_EQ(Find(u"*.*"),
            (Names{"a.txt", "abc", "ac", "readme", "readme.txt", "docs/", "hidden.txt"}));
  // An exact name is looked up, and FindNext after the hit finds nothing more.
  ArchiveItem f;
  ASSERT_TRUE(archiver_.FindFirst(u"A.TXT", f, 0, u""));
  EXPECT_EQ(f.Handle.ItemNo, 0);
  EXPECT_FALSE(archiver_.FindNext(f));
}

TEST_F(Search, AttributeFilterAndExclusionMask) {
  EXPECT_EQ(Find(u"*.txt", 0x20),
            (Names{"a.txt", "readme.txt", "docs/a.txt", "docs/sub/b.txt", "old/x.txt"}));
  EXPECT_EQ(Find(u"hidden.txt", 0x22), (Names{"hidden.txt"}));
  EXPECT_EQ(Find(u"docs*", 0x20), (Names{"docs/a.txt", "docs/sub/b.txt", "docs/x.bak"}));
  EXPECT_EQ(Find(u"docs/*", 0x28BF, u"*.bak"), (Names{"docs/a.txt", "docs/sub/b.txt"}));
}

TEST_F(Search, ListVariantUsesTheComponentsMasks) {
  EXPECT_EQ(FindByLists(), Names{});  // no file masks: nothing
  const std::u16string sep(1, platform::kPathSeparator);
  archiver_.SetFileMasks({u"*.txt", u"abc"});
  archiver_.SetExclusionMasks({u"old" + sep + u"*", u"docs" + sep + u"sub" + sep + u"*"});
  EXPECT_EQ(FindByLists(), (Names{"a.txt", "abc", "readme.txt", "docs/a.txt", "hidden.txt"}));
}

TEST_F(Search, FoundRecordDescribesTheItem) {
  ArchiveItem f;
  ASSERT_TRUE(archiver_.FindFirst(u"docs", f, 0x10, u""));
  EXPECT_EQ(f.FileName, u"docs");
  EXPECT_EQ(f.StoredPath, u"");
  const std::u16string sep(1, platform::kPathSeparator);
  ASSERT_TRUE(archiver_.FindFirst(u"b.txt", f, 0x20, u""));
  EXPECT_EQ(f.FileName, u"b.txt");
  EXPECT_EQ(f.StoredPath, u"docs" + sep + u"sub" + sep);
  EXPECT_EQ(f.LastModFileDate, ((2021 - 1980) << 9) | (6 << 5) | 7);
  EXPECT_EQ(f.LastModFileTime, (8 << 11) | (9 << 5) | 5);
  ASSERT_TRUE(archiver_.FindFirst(u"a.txt", f, 0x20, u""));
  EXPECT_GT(f.CompressionRate, 90.0);
  ASSERT_TRUE(archiver_.FindFirst(u"abc", f, 0x20, u""));
  EXPECT_EQ(f.CompressionRate, 100.0);  // empty
  ASSERT_TRUE(archiver_.FindFirst(u"ac", f, 0x20, u""));
  EXPECT_EQ(f.CompressionRate, 0.0);  // grew when deflated
}

TEST_F(Search, FindItemIndexAndFileCount) {
  std::int32_t k = -1;
  EXPECT_TRUE(archiver_.FindItemIndex(u"DOCS/A.TXT", k));
  EXPECT_EQ(k, 6);
  EXPECT_TRUE(archiver_.FindItemIndex(u"docs\\sub\\b.txt", k));
  EXPECT_EQ(k, 7);
  EXPECT_FALSE(archiver_.FindItemIndex(u"nothing", k));
  EXPECT_EQ(k, -1);
  archiver_.Options().Recurse = false;
  EXPECT_EQ(archiver_.FileCount(), 10);
  EXPECT_FALSE(archiver_.Options().Recurse);
}

}  // namespace
}  // namespace qm::archive::testing

namespace qm::archive {
namespace {

TEST(MatchName, WildcardRules) {
  struct Case {
    const char16_t* name;
    const char16_t* mask;
    bool match;
  };
  const Case cases[] = {
      {u"a", u"a*", true},
      {u"a", u"a**", false},
      {u"ABC", u"a?c", true},
      {u"ac", u"a?c", false},
      {u"x/y.txt", u"*.*", true},
      {u"readme", u"readme.", true},
      {u"readme.txt", u"readme.", false},
      {u"dir.d/readme", u"*.", true},
      {u"a.b", u"", false},
      {u"name.", u"name", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchName(c.name, c.mask), c.match)
        << testing::Utf8(c.name) << " ~ " << testing::Utf8(c.mask);
  }
}

}  // namespace
}  // namespace qm::archive
