// Volume names: both schemes, self-extracting sets, the alternative extensions, and the way
// back from a volume's name to its set.
#include "archive/volumes/volume_names.h"

#include <gtest/gtest.h>

#include "fixture_tools.h"

namespace qm::archive::testing {
namespace {

constexpr auto kSplit = SpanningMode::smSplitting;
constexpr auto kSpan = SpanningMode::smSpanning;

TEST(VolumeNames, EveryModeAndNumberGivesItsName) {
  struct Case {
    const char16_t* name;
    std::int32_t number;
    VolumeNaming naming;
    const char16_t* expected;
  };
  const Case cases[] = {
      // Split sets: numbered volumes beside the last, which keeps the archive's name.
      {u"d/arc.zip", 0, {.mode = kSplit}, u"d/arc.z01"},
      {u"d/arc.zip", 1, {.mode = kSplit}, u"d/arc.z02"},
      {u"d/arc.zip", 99, {.mode = kSplit}, u"d/arc.z100"},
      {u"d/arc.zip", kLastVolume, {.mode = kSplit}, u"d/arc.zip"},
      {u"ARC.ZIP", 0, {.mode = kSplit}, u"ARC.Z01"},
      {u"arc", 1, {.mode = kSplit}, u"arc.Z02"},
      {u"arc.zip", 2, {.mode = kSplit, .alternative_extensions = true}, u"arc.x03"},
      {u"arc.zip", 0, {.mode = kSplit, .advanced = true}, u"arc_001.zip"},
      {u"arc.zip", 1000, {.mode = kSplit, .advanced = true}, u"arc_1001.zip"},
      {u"arc.zip", kLastVolume, {.mode = kSplit, .advanced = true}, u"arc.zip"},
      // A self-extracting set: the stub's volume is the .exe, the last one a .zip.
      {u"arc.exe", 0, {.mode = kSplit, .exe = true}, u"arc.exe"},
      {u"arc.exe", 1, {.mode = kSplit, .exe = true}, u"arc.z02"},
      {u"arc.exe", kLastVolume, {.mode = kSplit, .exe = true}, u"arc.zip"},
      {u"ARC.EXE", kLastVolume, {.mode = kSplit, .exe = true}, u"ARC.ZIP"},
      {u"arc.exe",
       kLastVolume,
       {.mode = kSplit, .exe = true, .alternative_extensions = true},
       u"arc.zx"},
      {u"arc.zip", 0, {.mode = kSplit, .exe = true}, u"arc.exe"},
      // Spanned sets: the same name on every disk, or numbered ones.
      {u"/media/a/arc.zip", 0, {.mode = kSpan}, u"/media/a/arc.zip"},
      {u"/media/a/arc.zip", 2, {.mode = kSpan, .advanced = true}, u"/media/a/arc_003.zip"},
      {u"arc.zip", 1, {.mode = kSpan, .exe = true}, u"arc.exe"},
      {u"arc.zip", kLastVolume, {.mode = kSpan}, u"arc.zip"},
      // A single file has one name.
      {u"arc.zip", 3, {}, u"arc.zip"},
      {u"dir.v2/arc", 0, {.mode = kSplit}, u"dir.v2/arc.Z01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.name) + " #" + std::to_string(c.number));
    EXPECT_EQ(Utf8(MakeVolumeName(c.name, c.number, c.naming)), Utf8(c.expected));
  }
}

TEST(VolumeNames, AVolumeLeadsBackToItsSet) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"d/arc.z03", u"d/arc.zip"}, {u"ARC.Z01", u"ARC.ZIP"},
      {u"arc.z100", u"arc.zip"},    {u"arc.x02", u"arc.zx"},
      {u"arc_002.zip", u"arc.zip"}, {u"arc.zip", u""},
      {u"arc_2.zip", u""},          {u"arc.z", u""},
      {u"arc.zip1", u""},
  };
  for (const auto& [volume, set] : cases) {
    EXPECT_EQ(Utf8(LastVolumeNameOf(volume)), Utf8(set)) << Utf8(volume);
  }
  EXPECT_TRUE(IsExeName(u"setup.EXE"));
  EXPECT_FALSE(IsExeName(u"my.exe.d/arc.zip"));
  EXPECT_EQ(Utf8(OtherCaseExtension(u"arc.Z01")), "arc.z01");
  EXPECT_EQ(Utf8(OtherCaseExtension(u"arc.z01")), "arc.Z01");
  EXPECT_EQ(Utf8(OtherCaseExtension(u"arc.001")), "");
}

}  // namespace
}  // namespace qm::archive::testing
