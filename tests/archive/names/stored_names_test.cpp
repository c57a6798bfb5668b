#include "archive/names/stored_names.h"

#include <gtest/gtest.h>

#include "archive/names/path_rules.h"
#include "platform/platform.h"

namespace qm::archive {
namespace {

TEST(StoredNameCoding, AnsiWhenTheNameSurvivesElseUtf8) {
  struct Case {
    std::u16string name;
    std::string bytes;
    bool utf8;
  };
  const Case cases[] = {
      {u"plain/a.txt", "plain/a.txt", false},
      {u"café.txt", "caf\xe9.txt", false},
      {u"журнал.txt", "\xd0\xb6\xd1\x83\xd1\x80\xd0\xbd\xd0\xb0\xd0\xbb.txt", true},
      {u"€uro", "\x80uro", false},
  };
  for (const auto& c : cases) {
    const StoredName s = EncodeStoredName(c.name);
    EXPECT_EQ(s.bytes, c.bytes);
    EXPECT_EQ(s.utf8, c.utf8);
    EXPECT_EQ(DecodeStoredName(s.bytes), c.name);
  }
  // Long names are never cut, whatever their UTF-8 length.
  const std::u16string long_name(300, u'ж');
  EXPECT_EQ(EncodeStoredName(long_name).bytes.size(), 600u);
}

TEST(StoredNameCoding, Utf8IsRecognisedOnlyWhenStrictlyValid) {
  struct Case {
    std::string bytes;
    bool valid;
  };
  const Case cases[] = {
      {"\xc2\x80", true},
      {"\xc1\xbf", false},  // overlong two-byte lead
      {"\xe0\xa0\x80", true},
      {"\xe0\x9f\xbf", false},  // overlong three-byte
      {"\xed\x9f\xbf", true},
      {"\xf0\x90\x80\x80", true},
      {"\xf0\x8f\xbf\xbf", false},
      {"\xf4\x8f\xbf\xbf", true},
      {"\xf4\x90\x80\x80", false},  // above U+10FFFF
      {"\xe2\x82", false},
      {"\x80", false},
      {"\xff", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
  bool as_utf8 = true;
  EXPECT_EQ(DecodeStoredName("caf\xe9", &as_utf8), u"café");
  EXPECT_FALSE(as_utf8);
  EXPECT_EQ(DecodeStoredName("caf\xc3\xa9", &as_utf8), u"café");
  EXPECT_TRUE(as_utf8);
}

TEST(StoredNameCoding, OemStepStopsAtAZeroByte) {
  EXPECT_EQ(OemNameToAnsi(std::string("\x82\0\x82", 3)), std::string("\xe9\0\x82", 3));
}

TEST(UnicodeNameBlock, LoadsOnlyAWholeBlockWithItsSignature) {
  const ExtraFieldDataBlock block = MakeBlock(MakeUnicodeExtendedInfo(u"Ωx"));
  EXPECT_EQ(block.data.size(), 8u + 4);
  auto decode = [](const std::vector<std::uint8_t>& data, UnicodeExtendedInfo& info) {
    ByteReader in(data);
    return info.DecodeFrom(in);
  };
  UnicodeExtendedInfo info;
  ASSERT_TRUE(decode(block.data, info));
  EXPECT_EQ(info.FName, u"Ωx");
  auto cut = block.data;
  cut.pop_back();  // count 2, one and a half units left
  EXPECT_FALSE(decode(cut, info));
  cut = block.data;
  cut[0] ^= 1;
  EXPECT_FALSE(decode(cut, info));
}

TEST(InfoZipUnicodePathBlock, GivesTheNameOnlyWhileItBelongsToTheStoredBytes) {
  const StoredName stored = EncodeStoredName(u"журнал.txt");
  const std::string ansi_fallback = "?????? .txt";
  const ExtraFieldDataBlock block = MakeBlock(MakeInfoZipUnicodePath(u"журнал.txt", ansi_fallback));
  EXPECT_EQ(DecodeInfoZipUnicodePath(block.data, ansi_fallback), u"журнал.txt");
  // The 8-bit name was changed by a tool that left the block: the block no longer applies.
  EXPECT_EQ(DecodeInfoZipUnicodePath(block.data, stored.bytes), std::nullopt);
  auto wrong_version = block.data;
  wrong_version[0] = 2;
  EXPECT_EQ(DecodeInfoZipUnicodePath(wrong_version, ansi_fallback), std::nullopt);
}

TEST(PathRules, ResolvesAgainstTheBaseFolder) {
  auto& os = platform::Platform::Current();
  const std::u16string sep(1, platform::kPathSeparator);
  EXPECT_EQ(BaseFolder(u"", u"cur"), u"cur" + sep);
  EXPECT_EQ(BaseFolder(u"base" + sep, u"cur"), u"base" + sep);
  const std::u16string base = os.TempDirectory() + u"qm_base";
  EXPECT_EQ(ResolvePath(base, u"a" + sep + u"b.txt", u""), base + sep + u"a" + sep + u"b.txt");
  EXPECT_EQ(ResolvePath(base, u"a" + sep + u".." + sep + u"c.txt", u""), base + sep + u"c.txt");
  EXPECT_EQ(ResolvePath(base, sep + u"abs.txt", u""), sep + u"abs.txt");
  // An empty name gives a base that is not an existing folder unchanged.
  EXPECT_EQ(ResolvePath(base, u"", u""), base);
}

}  // namespace
}  // namespace qm::archive
