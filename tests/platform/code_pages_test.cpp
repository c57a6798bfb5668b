#include <gtest/gtest.h>

#include "platform/text.h"

namespace qm::platform {
namespace {

std::string AllBytes() {
  std::string bytes(256, '\0');
  for (int b = 0; b < 256; ++b) bytes[b] = static_cast<char>(b);
  return bytes;
}

TEST(CodePages, EveryByteSurvivesTheRoundTripThroughUtf16) {
  const std::string bytes = AllBytes();
  EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(bytes)), bytes);
  EXPECT_EQ(Utf16ToOem(OemToUtf16(bytes)), bytes);
}

TEST(CodePages, KnownCharactersMapBothWays) {
  struct Case {
    const char* bytes;
    std::u16string text;
    bool oem;
  };
  const Case cases[] = {
      {"\x80", u"\u20AC", false},  // euro sign in 1252
      {"\xE9", u"\u00E9", false},  // e acute, Latin-1 range
      {"\x9F", u"\u0178", false},  // Y diaeresis
      {"\x81", u"\u0081", false},  // undefined in 1252: carried through as Windows does
      {"\x82", u"\u00E9", true},   // e acute in 437
      {"\xE1", u"\u00DF", true},   // sharp s in 437
      {"\xC9", u"\u2554", true},   // box drawing
      {"abc", u"abc", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(c.oem ? OemToUtf16(c.bytes) : AnsiToUtf16(c.bytes), c.text);
    EXPECT_EQ(c.oem ? Utf16ToOem(c.text) : Utf16ToAnsi(c.text), c.bytes);
  }
}

TEST(CodePages, MissingCharactersBecomeQuestionMarks) {
  EXPECT_EQ(Utf16ToAnsi(u"a\u4E2Db"), "a?b");
  EXPECT_EQ(Utf16ToOem(u"\u20AC"), "?");
  EXPECT_FALSE(FitsAnsi(u"\u4E2D"));
  EXPECT_TRUE(FitsAnsi(u"caf\u00E9 \u20AC"));
}

TEST(CodePages, OemAndAnsiConvertThroughTheirCharacters) {
  EXPECT_EQ(OemToAnsi("\x82t"), "\xE9t");
  EXPECT_EQ(AnsiToOem("\xE9t\xE9"), "\x82t\x82");
}

TEST(Utf8, RoundTripsIncludingSupplementaryCharacters) {
  const std::u16string text = u"na\u00EFve \u4E2D \U0001F600";
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(Utf8, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");      // overlong '/'
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");  // encoded surrogate
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

TEST(ModifiedUtf8, EncodesNulAndSupplementaryCharactersTheJavaWay) {
  EXPECT_EQ(Utf16ToModifiedUtf8(std::u16string(u"a\0b", 3)), std::string("a\xC0\x80"
                                                                         "b"));
  EXPECT_EQ(Utf16ToModifiedUtf8(u"\U0001F600"), "\xED\xA0\xBD\xED\xB8\x80");
  const std::u16string text = u"J\u00FCrgen \U0001F600";
  EXPECT_EQ(ModifiedUtf8ToUtf16(Utf16ToModifiedUtf8(text)), text);
}

TEST(ModifiedUtf8, RejectsBytesAClassFileCannotHold) {
  for (const std::string& bad :
       {std::string("a\0", 2), std::string("\xE9"), std::string("\xF0\x9F\x98\x80"),
        std::string("\xC1\x81"), std::string("\xE0\x80")}) {
    EXPECT_FALSE(ModifiedUtf8ToUtf16(bad).has_value()) << bad.size();
  }
}

}  // namespace
}  // namespace qm::platform
