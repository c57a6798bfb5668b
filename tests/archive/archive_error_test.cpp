#include "archive/archive_error.h"

#include <gtest/gtest.h>

#include <vector>

#include "archive/prompt_texts.h"

namespace qm::archive {
namespace {

TEST(ArchiveError, ComposesComponentMessageAndNativeSuffix) {
  struct Case {
    int native;
    std::vector<FormatArg> args;
    bool fill;
    std::u16string component;
    int code;
    std::u16string message;
  };
  const Case cases[] = {
      {12,
       {u"C:\\Data\\x.zip"},
       true,
       u"Archiver1",
       6,
       u"Archiver1: File \"C:\\Data\\x.zip\" not found - Native error: 00012"},
      {13, {}, false, u"Archiver1", 7, u"Archiver1: Archive is not open - Native error: 00013"},
      {13, {}, false, u"", 7, u"Archive is not open - Native error: 00013"},
      {62,
       {},
       false,
       u"",
       37,
       u"Multiple transactions are not supported for multi-volume archives - Native error: 00062"},
      {36,
       {u"out.zip"},
       true,
       u"",
       19,
       u"Cannot create output file. Probably file is locked by another process. "
       u"FileName = 'out.zip'. - Native error: 00036"},
      {34,
       {std::int64_t{10}, std::int64_t{-3}},
       true,
       u"Z",
       17,
       u"Z: Invalid compressed size, rfs.size = 10, count = -3 - Native error: 00034"},
      {68,
       {u"../x.txt"},
       true,
       u"A",
       41,
       u"A: Path \"../x.txt\" leads outside the destination folder - Native error: 00068"},
      {70,
       {u"a.zip"},
       true,
       u"",
       43,
       u"Cannot merge archive \"a.zip\" into itself - Native error: 00070"},
      {71,
       {},
       false,
       u"A",
       44,
       u"A: Items of the archive overlap each other (a possible zip bomb). Open failed - Native "
       u"error: 00071"},
      {72,
       {u"a/b.txt"},
       true,
       u"",
       45,
       u"Local header of \"a/b.txt\" is missing or overlapped - Native error: 00072"},
      {73,
       {u"a.zip.qmtail"},
       true,
       u"",
       46,
       u"\"a.zip.qmtail\" stands where an interrupted update keeps part of the archive, but was "
       u"not made for this archive as it is now; the archive is neither opened nor changed while "
       u"it is there - Native error: 00073"},
      {74,
       {u"a.txt"},
       true,
       u"A",
       47,
       u"A: Comment of \"a.txt\" is too long: a ZIP record holds at most 65535 bytes - Native "
       u"error: 00074"},
      {75,
       {u"a.zip"},
       true,
       u"",
       48,
       u"\"a.zip\" is an input of this operation and cannot also be its output - Native error: "
       u"00075"},
      {76,
       {u"a.z01"},
       true,
       u"",
       49,
       u"Volume \"a.z01\" would be the archive file itself; give the archive another name - "
       u"Native error: 00076"},
      {77,
       {u"a.txt"},
       true,
       u"",
       50,
       u"File \"a.txt\" changed after it was read into the archive; it was kept - Native error: "
       u"00077"},
      {78, {}, false, u"", 0, u"Unknown error - Native error: 00078"},
      {-1, {}, false, u"", 0, u"Unknown error - Native error: 000-1"},
      {12345, {}, false, u"", 0, u"Unknown error - Native error: 12345"},
      // The plain constructor leaves placeholders as they are.
      {19, {}, false, u"A", 9, u"A: Cannot create file \"%s\" - Native error: 00019"},
  };
  for (const auto& c : cases) {
    const ArchiveError error =
        c.fill ? ArchiveError(c.native, std::span<const FormatArg>(c.args), c.component)
               : ArchiveError(c.native, c.component);
    EXPECT_EQ(error.Message(), c.message) << c.native;
    EXPECT_EQ(error.ErrorCode(), c.code) << c.native;
    EXPECT_EQ(error.NativeError(), c.native);
  }
}

TEST(ArchiveError, EveryNativeNumberMapsAsTheTableSays) {
  const int expected[68] = {0,  1,  1,  1,  1,  2,  3,  1,  4,  5,  5,  6,  6,  7,  7,  6,  1,
                            8,  6,  9,  10, 1,  11, 9,  1,  11, 13, 14, 15, 5,  6,  6,  16, 12,
                            17, 18, 19, 20, 6,  21, 22, 23, 6,  23, 24, 24, 25, 26, 27, 28, 29,
                            30, 31, 6,  6,  32, 33, 27, 34, 34, 35, 36, 37, 38, 38, 39, 39, 40};
  for (int native = 0; native < 68; ++native) EXPECT_EQ(ErrorCodeOf(native), expected[native]);
  EXPECT_EQ(ErrorMessageOf(40), u"Invalid password. Cannot decompress encrypted file.");
  EXPECT_EQ(ErrorCodeOf(68), 41);  // the engine's own: a path leading out of the destination
  EXPECT_EQ(ErrorCodeOf(69), 42);  // and a commit's tail file that cannot be played back
  EXPECT_EQ(ErrorCodeOf(70), 43);  // and an archive merged into itself
  EXPECT_EQ(ErrorCodeOf(71), 44);  // items whose data overlap
  EXPECT_EQ(ErrorCodeOf(72), 45);  // an offset that does not lead to a local header
  EXPECT_EQ(ErrorCodeOf(73), 46);  // a tail file beside an archive that was not made for it
  EXPECT_EQ(ErrorCodeOf(74), 47);  // a comment longer than a record can count
  EXPECT_EQ(ErrorCodeOf(75), 48);  // an output that is one of the inputs
  EXPECT_EQ(ErrorCodeOf(76), 49);  // a new volume named like the archive itself
  EXPECT_EQ(ErrorCodeOf(77), 50);  // a moved source that changed after it was read
  EXPECT_EQ(ErrorMessageOf(51), u"Unknown error");
}

TEST(ArchiveError, WhatCarriesTheMessageAsUtf8) {
  const ArchiveError error(12, {u"caf\u00E9.zip"}, u"Archiver1");
  EXPECT_STREQ(error.what(), "Archiver1: File \"caf\xC3\xA9.zip\" not found - Native error: 00012");
}

TEST(FormatText, HandlesWidthPrecisionAndMissingArguments) {
  EXPECT_EQ(FormatText(u"pkback# %.3d", {std::int64_t{1}}), u"pkback# 001");
  EXPECT_EQ(FormatText(u"[%5d]", {std::int64_t{42}}), u"[   42]");
  EXPECT_EQ(FormatText(u"100%% %s", {u"done"}), u"100% done");
  EXPECT_EQ(FormatText(u"%s and %s", {u"one"}), u"one and %s");
  EXPECT_EQ(FormatText(u"%d", {u"text"}), u"%d");
}

TEST(PromptTexts, FillLikeTheEngineFillsThem) {
  EXPECT_EQ(FormatText(PromptTextOf(PromptText::kOverwriteFile), {u"a.txt", u"b/a.txt"}),
            u"Overwrite file \"a.txt\" with \"b/a.txt\"");
  EXPECT_EQ(FormatText(PromptTextOf(PromptText::kInsertDisk), {std::int64_t{3}}),
            u"Please insert disk #3");
  EXPECT_EQ(PromptTextOf(PromptText::kPasswordLabel), u"Enter password: ");
}

}  // namespace
}  // namespace qm::archive
