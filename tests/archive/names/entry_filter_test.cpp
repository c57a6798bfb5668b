// The two forms of a search's name filter, on names alone.
#include "archive/names/entry_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm::archive {
namespace {

const std::vector<std::u16string> kNames = {u"a.txt",          u"docs/",      u"docs/b.txt",
                                            u"docs/sub/C.TXT", u"Docs/d.bin", u"readme"};

std::vector<std::u16string> Taken(const EntryFilter& filter) {
  std::vector<std::u16string> taken;
  for (const auto& name : kNames) {
    if (filter.Takes(name)) taken.push_back(name);
  }
  return taken;
}

TEST(EntryFilter, TheMaskFormTakesTheMasksFolderOnlyUnlessRecursing) {
  struct Case {
    std::u16string mask, exclusion;
    bool recurse;
    std::vector<std::u16string> taken;
  };
  const Case cases[] = {
      {u"*.txt", u"", false, {u"a.txt"}},
      {u"*.txt", u"", true, {u"a.txt", u"docs/b.txt", u"docs/sub/C.TXT"}},
      // The folder compares without case; the mask meets the whole name or its last part.
      {u"docs/*", u"", false, {u"docs/b.txt", u"Docs/d.bin"}},
      {u"b.txt", u"", true, {u"docs/b.txt"}},
      // A folder's entry is found by its name without the trailing "/".
      {u"docs", u"", false, {u"docs/"}},
      {u"*.*", u"*.txt", true, {u"docs/", u"Docs/d.bin", u"readme"}},
      // "name." finds names without an extension.
      {u"readme.", u"", false, {u"readme"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mask.begin(), c.mask.end()));
    EXPECT_EQ(Taken(EntryFilter::ForMask(c.mask, c.exclusion, c.recurse)), c.taken);
  }
}

TEST(EntryFilter, TheListFormMatchesWholeNamesWithThePlatformsSeparator) {
  const std::vector<std::u16string> masks = {u"docs/*", u"a.*"};
  const std::vector<std::u16string> exclusions = {u"*.bin"};
  const std::vector<std::u16string> expected = {u"a.txt", u"docs/", u"docs/b.txt",
                                                u"docs/sub/C.TXT"};
  for (const char16_t separator : {u'/', u'\\'}) {
    SCOPED_TRACE(separator == u'/' ? "/" : "\\");
    EXPECT_EQ(Taken(EntryFilter::ForMaskLists(masks, exclusions, separator)), expected);
  }
  // A mask written with the other separator still separates folders.
  const std::vector<std::u16string> windows_masks = {u"docs\\sub\\*"};
  EXPECT_EQ(Taken(EntryFilter::ForMaskLists(windows_masks, {}, u'\\')),
            (std::vector<std::u16string>{u"docs/sub/C.TXT"}));
}

}  // namespace
}  // namespace qm::archive
