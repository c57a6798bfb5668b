#include "archive/directory/dir_array.h"

#include <gtest/gtest.h>

#include "archive/archive_error.h"
#include "native_error.h"

namespace qm::archive {
namespace {

using testing::NativeErrorOf;

void AddNamed(DirArray& dir, std::u16string name) {
  const auto i = dir.Count();
  dir.SetCount(i + 1);
  dir.SetItemName(i, std::move(name));
}

TEST(DirArray, CapacityGrowsInDoublingStepsUpToTenThousand) {
  DirArray dir;
  std::vector<std::int32_t> capacities;
  for (std::int32_t count : {1, 1001, 3001, 7001, 15001, 25001, 35001}) {
    dir.SetCount(count);
    capacities.push_back(dir.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<std::int32_t>{1000, 3000, 7000, 15000, 25000, 35000, 45000}));
  // A count asked for at once larger than the step is taken as it is.
  DirArray big;
  big.SetCount(70000);
  EXPECT_EQ(big.Capacity(), 70000);
}

TEST(DirArray, ReleasingKeepsTheGrowthStep) {
  DirArray dir;
  dir.SetCount(1);
  dir.SetCount(0);
  EXPECT_EQ(dir.Capacity(), 0);
  dir.SetCount(1);
  EXPECT_EQ(dir.Capacity(), 2000);
}

TEST(DirArray, FileExistsFoldsOnlyAsciiCaseAndFindsTheLastOfEqualNames) {
  DirArray dir;
  for (auto name : {u"Readme.TXT", u"ÄB.txt", u"a/x.txt", u"b", u"c", u"d", u"e", u"A/X.txt"}) {
    AddNamed(dir, name);
  }
  std::int32_t k = -1;
  EXPECT_TRUE(dir.FileExists(u"readme.txt", k));
  EXPECT_EQ(k, 0);
  EXPECT_FALSE(dir.FileExists(u"äb.txt", k));
  EXPECT_EQ(k, -1);
  EXPECT_TRUE(dir.FileExists(u"a/x.txt", k));
  EXPECT_EQ(k, 7);
  EXPECT_FALSE(dir.FileExists(u"a\\x.txt", k));
}

TEST(DirArray, NameIndexSurvivesRehashingRenamesAndDeletes) {
  DirArray dir;
  for (int i = 0; i < 12000; ++i)
    AddNamed(dir, u"f" + std::u16string(1, u'a' + i % 26) + u"/" +
                      std::u16string(1, char16_t(0x4E00 + i)));
  std::int32_t k = -1;
  ASSERT_TRUE(dir.FileExists(u"Fa/" + std::u16string(1, char16_t(0x4E00 + 11726)), k));
  EXPECT_EQ(k, 11726);
  dir.SetItemName(5, u"Renamed");
  EXPECT_TRUE(dir.FileExists(u"renamed", k));
  EXPECT_EQ(k, 5);
  dir.DeleteItem(0);
  EXPECT_TRUE(dir.FileExists(u"renamed", k));
  EXPECT_EQ(k, 4);
  EXPECT_EQ(dir.NamedCount(), dir.Count());
}

// Renaming or deleting one of two equally named items leaves the other findable.
TEST(DirArray, EqualNamesStayIndexedThroughRenameAndDelete) {
  DirArray dir;
  for (auto name : {u"a", u"b", u"c", u"x", u"d", u"e", u"f", u"X"}) AddNamed(dir, name);
  std::int32_t k = -1;
  dir.SetItemName(3, u"y");
  EXPECT_TRUE(dir.FileExists(u"x", k));
  EXPECT_EQ(k, 7);
  dir.SetItemName(3, u"x");
  dir.DeleteItem(3);
  EXPECT_TRUE(dir.FileExists(u"x", k));
  EXPECT_EQ(k, 6);
  EXPECT_TRUE(dir.FileExists(u"d", k));
  EXPECT_EQ(k, 3);
}

// Of equal names the last in the directory is found, whatever renames linked them in between:
// replacing a name must replace the entry readers see, the same one every time.
TEST(DirArray, OfEqualNamesTheLastIsFoundAfterARenameToo) {
  DirArray dir;
  for (auto name : {u"dup.txt", u"other", u"dup.txt", u"last"}) AddNamed(dir, name);
  std::int32_t k = -1;
  dir.SetItemName(1, u"DUP.txt");
  EXPECT_TRUE(dir.FileExists(u"dup.txt", k));
  EXPECT_EQ(k, 2);
  EXPECT_TRUE(dir.FileExistsMatchingCase(u"DUP.txt", k));
  EXPECT_EQ(k, 1);
  dir.SetItemName(3, u"dup.txt");
  dir.SetItemName(0, u"Dup.txt");
  EXPECT_TRUE(dir.FileExists(u"dup.txt", k));
  EXPECT_EQ(k, 3);
  EXPECT_TRUE(dir.FileExistsMatchingCase(u"dup.txt", k));
  EXPECT_EQ(k, 3);
}

TEST(DirArray, AssignGivesTheCopyItsOwnExtraBlocks) {
  DirArray source;
  AddNamed(source, u"a.txt");
  source.ItemPtr(0)->EditRecord().ExtraFields.push_back({0x1234, 2, {7, 8}});
  DirArray copy;
  copy.Assign(source);
  source.DeleteItem(0);
  ASSERT_EQ(copy.Count(), 1);
  EXPECT_EQ(copy.GetItem(0).Record().ExtraFields[0].data, (std::vector<std::uint8_t>{7, 8}));
  std::int32_t k = -1;
  EXPECT_TRUE(copy.FileExists(u"A.TXT", k));
}

TEST(DirArray, DeletingTheOnlyItemEmptiesTheNameList) {
  DirArray dir;
  AddNamed(dir, u"x");
  dir.DeleteItem(0);
  EXPECT_EQ(dir.Count(), 0);
  EXPECT_EQ(dir.NamedCount(), 0);
}

TEST(DirArray, BadIndexesAndBrokenNameListRaiseTheirErrors) {
  DirArray dir;
  AddNamed(dir, u"x");
  EXPECT_EQ(NativeErrorOf([&] { dir.SetItem(1, DirItem{}); }), 1);
  EXPECT_EQ(NativeErrorOf([&] { dir.GetItem(-1); }), 2);
  EXPECT_EQ(NativeErrorOf([&] { dir.ItemPtr(1); }), 3);
  EXPECT_EQ(NativeErrorOf([&] { dir.DeleteItem(5); }), 4);
  // SetItem and SetItemName beyond the next unnamed item.
  dir.SetCount(3);
  EXPECT_EQ(NativeErrorOf([&] { dir.SetItemName(2, u"c"); }), 59);
  EXPECT_EQ(NativeErrorOf([&] { dir.SetItem(2, DirItem{}); }), 58);
  // An unnamed item followed by another: the empty key is found at the earlier index.
  DirArray empty_first;
  empty_first.SetCount(2);
  empty_first.SetItemName(0, u"");
  EXPECT_EQ(NativeErrorOf([&] { empty_first.SetItemName(1, u"b"); }), 59);
}

TEST(DirArray, TheEmptyNameCheckFollowsRenamesAndDeletes) {
  DirArray dir;
  dir.SetCount(3);
  dir.SetItemName(0, u"");
  dir.SetItemName(0, u"a");  // no empty name left before item 1
  dir.SetItemName(1, u"");
  EXPECT_EQ(NativeErrorOf([&] { dir.SetItemName(2, u"c"); }), 59);
  dir.DeleteItem(1);  // the empty name goes with it
  dir.SetCount(2);
  dir.SetItemName(1, u"b");
  EXPECT_EQ(dir.NamedCount(), 2);
}

// The bytes an entry's name was read as go back unchanged while the name is the one they stand
// for, also after a rename that was taken back; a new name is encoded afresh.
TEST(DirItem, StoredNameBytesStandForTheNameTheyWereReadAs) {
  struct Case {
    std::u16string name;
    std::string bytes;
  };
  for (const Case& c : {Case{u"docs/a.txt", "docs/a.txt"}, Case{u"caf\u00e9", "caf\x82"}}) {
    DirArray dir;
    AddNamed(dir, c.name);
    dir.ItemPtr(0)->SetStoredName(c.bytes);
    DirItem copy = dir.GetItem(0);
    ASSERT_TRUE(dir.GetItem(0).StoredNameFits());
    EXPECT_EQ(dir.GetItem(0).StoredNameBytes(), c.bytes);
    dir.SetItemName(0, u"other.txt");
    EXPECT_FALSE(dir.GetItem(0).StoredNameFits());
    dir.SetItemName(0, c.name);
    ASSERT_TRUE(dir.GetItem(0).StoredNameFits());
    EXPECT_EQ(dir.GetItem(0).StoredNameBytes(), c.bytes);
    EXPECT_TRUE(copy.StoredNameFits());
    EXPECT_EQ(copy.StoredNameBytes(), c.bytes);
  }
  // A new item has no stored bytes until it is written.
  DirArray dir;
  AddNamed(dir, u"new.txt");
  EXPECT_FALSE(dir.GetItem(0).StoredNameFits());
}

}  // namespace
}  // namespace qm::archive
