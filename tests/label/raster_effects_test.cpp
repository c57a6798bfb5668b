#include "label/raster_effects.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <stdexcept>
#include <vector>

#include "label/rect.h"

namespace qm::label {
namespace {

using Grid = std::vector<std::vector<int>>;

Grid CoverageOf(const CoverageBuffer& buffer) {
  Grid grid(buffer.Height(), std::vector<int>(buffer.Width()));
  for (int y = 0; y < buffer.Height(); ++y) {
    for (int x = 0; x < buffer.Width(); ++x) grid[y][x] = buffer.Coverage(x, y);
  }
  return grid;
}

Bitmap32 SingleTextPixel() {
  Bitmap32 bitmap = NewWorkingBitmap(5, 5);
  bitmap.Fill(0);
  bitmap.Pixel(2, 2)[Bitmap32::kBlue] = 255;
  return bitmap;
}

TEST(ShadowCoverageTest, SingleTextPixelMatchesTheTablesAfterOneAndTwoPasses) {
  struct Case {
    int passes;
    Grid expected;
  };
  const Case cases[] = {
      {1,
       {{0, 0, 0, 0, 0},
        {0, 0, 63, 15, 3},
        {0, 63, 31, 11, 3},
        {0, 15, 11, 5, 2},
        {0, 3, 3, 2, 1}}},
      {2,
       {{0, 0, 15, 7, 2},
        {0, 31, 79, 25, 7},
        {15, 79, 45, 19, 7},
        {7, 25, 19, 10, 4},
        {2, 7, 7, 4, 2}}},
  };
  const Bitmap32 text = SingleTextPixel();
  for (const Case& c : cases) {
    CoverageBuffer buffer;
    BuildShadowCoverage(text, buffer, c.passes);
    EXPECT_EQ(CoverageOf(buffer), c.expected) << c.passes << " passes";
  }
}

TEST(ShadowCoverageTest, BorderRingStaysZeroAfterManyPasses) {
  Bitmap32 text = NewWorkingBitmap(4, 3);
  text.Fill(255);  // every pixel is text, so the blur pushes hard against the border
  CoverageBuffer buffer;
  BuildShadowCoverage(text, buffer, 10);
  for (int cx = 0; cx < 6; ++cx) {
    EXPECT_EQ(buffer.Cell(cx, 0), 0);
    EXPECT_EQ(buffer.Cell(cx, 4), 0);
  }
  for (int cy = 0; cy < 5; ++cy) {
    EXPECT_EQ(buffer.Cell(0, cy), 0);
    EXPECT_EQ(buffer.Cell(5, cy), 0);
  }
}

TEST(ShadowCoverageTest, StampMarksOnlyPixelsWithBlueAndKeepsOtherCells) {
  Bitmap32 text = NewWorkingBitmap(3, 1);
  text.Fill(0);
  text.Pixel(0, 0)[Bitmap32::kBlue] = 1;   // a faint antialiased edge still counts
  text.Pixel(1, 0)[Bitmap32::kRed] = 255;  // red or green alone does not
  text.Pixel(1, 0)[Bitmap32::kGreen] = 255;
  CoverageBuffer buffer;
  BuildShadowCoverage(text, buffer, 1);  // leaves blurred values behind
  const int left_after_blur = buffer.Coverage(1, 0);
  StampText(text, buffer);
  EXPECT_EQ(buffer.Coverage(0, 0), 255);
  EXPECT_EQ(buffer.Coverage(1, 0), left_after_blur);
}

TEST(ShadowCoverageTest, ZeroOrNegativeBlurCountLeavesNoCoverage) {
  const Bitmap32 text = SingleTextPixel();
  for (int count : {0, -1, -100}) {
    CoverageBuffer buffer;
    BuildShadowCoverage(text, buffer, count);
    EXPECT_EQ(CoverageOf(buffer), Grid(5, std::vector<int>(5, 0))) << count;
  }
}

TEST(ShadowCoverageTest, HugeBlurCountGivesTheSettledCoverageWithoutRunningEveryPass) {
  Bitmap32 text = NewWorkingBitmap(30, 12);
  text.Fill(0);
  for (int x = 3; x < 27; x += 2) text.Pixel(x, 5)[Bitmap32::kBlue] = 255;
  CoverageBuffer settled;
  BuildShadowCoverage(text, settled, 500);  // far past the point where nothing changes
  CoverageBuffer huge;
  BuildShadowCoverage(text, huge, std::numeric_limits<int>::max());
  EXPECT_EQ(CoverageOf(huge), CoverageOf(settled));
  CoverageBuffer few;
  BuildShadowCoverage(text, few, 4);
  EXPECT_NE(CoverageOf(few), CoverageOf(settled));  // four passes have not settled yet
}

TEST(ShadowCoverageTest, BufferGrowsButIsNeverShrunkAndIsClearedForEachBuild) {
  CoverageBuffer buffer;
  Bitmap32 big = NewWorkingBitmap(10, 8);
  big.Fill(255);
  BuildShadowCoverage(big, buffer, 3);
  EXPECT_EQ(buffer.AllocatedSize(), 2u * 12 * 10);

  const Bitmap32 small = SingleTextPixel();
  BuildShadowCoverage(small, buffer, 0);
  EXPECT_EQ(buffer.AllocatedSize(), 2u * 12 * 10);
  EXPECT_EQ(CoverageOf(buffer), Grid(5, std::vector<int>(5, 0)));
}

TEST(ShadowCoverageTest, MismatchedBufferIsRejected) {
  CoverageBuffer buffer;
  buffer.Prepare(2, 2);
  Bitmap32 bitmap = NewWorkingBitmap(3, 2);
  EXPECT_THROW(StampText(bitmap, buffer), std::invalid_argument);
  EXPECT_THROW(BlendOverBackground(bitmap, buffer, {}), std::invalid_argument);
}

// Coverage 255 on every pixel, or 0 on every pixel: stamped without a blur pass.
CoverageBuffer UniformCoverage(const Bitmap32& bitmap, bool covered) {
  Bitmap32 text = NewWorkingBitmap(bitmap.Width(), bitmap.Height());
  text.Fill(covered ? 255 : 0);
  CoverageBuffer buffer;
  buffer.Prepare(text.Width(), text.Height());
  StampText(text, buffer);
  return buffer;
}

TEST(BlendTest, UncoveredPixelsComeOutOneStepDarkerAndSpareByteIsKept) {
  Bitmap32 bitmap = NewWorkingBitmap(2, 1);
  const std::array<std::uint8_t, 4> before[] = {{240, 1, 0, 77}, {255, 128, 2, 0}};
  for (int x = 0; x < 2; ++x) std::copy(before[x].begin(), before[x].end(), bitmap.Pixel(x, 0));
  const CoverageBuffer none = UniformCoverage(bitmap, false);
  BlendOverBackground(bitmap, none, {255, 255, 255});
  const std::array<std::uint8_t, 4> expected[] = {{239, 0, 0, 77}, {254, 127, 1, 0}};
  for (int x = 0; x < 2; ++x) {
    EXPECT_EQ(std::to_array({bitmap.Pixel(x, 0)[0], bitmap.Pixel(x, 0)[1], bitmap.Pixel(x, 0)[2],
                             bitmap.Pixel(x, 0)[3]}),
              expected[x]);
  }
}

TEST(BlendTest, FullCoverageGivesTheShadowComponentLessOneStep) {
  Bitmap32 bitmap = NewWorkingBitmap(1, 1);
  bitmap.Fill(90);
  const CoverageBuffer full = UniformCoverage(bitmap, true);
  // red 255, green 0, blue 10: blue byte first in memory
  BlendOverBackground(bitmap, full, {255, 0, 10});
  EXPECT_EQ(bitmap.Pixel(0, 0)[Bitmap32::kRed], 254);
  EXPECT_EQ(bitmap.Pixel(0, 0)[Bitmap32::kGreen], 0);
  EXPECT_EQ(bitmap.Pixel(0, 0)[Bitmap32::kBlue], 9);
}

TEST(BlendTest, OverColourIgnoresThePixelsAndMixesWithTheGivenBackground) {
  Bitmap32 bitmap = SingleTextPixel();  // blue 255 at the centre, 0 elsewhere
  CoverageBuffer buffer;
  BuildShadowCoverage(bitmap, buffer, 1);  // centre 31, (2,1) 63, corner 0
  BlendOverColour(bitmap, buffer, {0, 0, 0}, {200, 100, 50});
  struct Case {
    int x, y, a;
  };
  for (const Case& c : {Case{2, 2, 31}, Case{2, 1, 63}, Case{0, 0, 0}}) {
    const std::uint8_t* p = bitmap.Pixel(c.x, c.y);
    EXPECT_EQ(p[Bitmap32::kRed], 200 * (255 - c.a) >> 8);
    EXPECT_EQ(p[Bitmap32::kGreen], 100 * (255 - c.a) >> 8);
    EXPECT_EQ(p[Bitmap32::kBlue], 50 * (255 - c.a) >> 8);
  }
  // and a coloured shadow over it, the rule written out for one byte
  Bitmap32 one = NewWorkingBitmap(1, 1);
  one.Fill(0);
  CoverageBuffer full = UniformCoverage(one, true);
  BlendOverColour(one, full, {10, 20, 30}, {200, 100, 50});
  EXPECT_EQ(one.Pixel(0, 0)[Bitmap32::kRed], (10 * 255 + 200 * 0) >> 8);
}

TEST(RectTest, InvertedRectangleHasZeroExtentAndAnEmptyBitmap) {
  struct Case {
    Rect rect;
    int width, height;
  };
  for (const Case& c : {Case{{0, 0, 74, 21}, 74, 21}, Case{{10, 5, 4, 9}, 0, 4},
                        Case{{-3, 8, 2, 8}, 5, 0}, Case{{0, 0, 0, 0}, 0, 0}}) {
    EXPECT_EQ(ClampedWidth(c.rect), c.width);
    EXPECT_EQ(ClampedHeight(c.rect), c.height);
  }
  Bitmap32 bitmap = NewWorkingBitmap(ClampedWidth({10, 0, 4, 9}), 9);
  bitmap.Fill(0);
  CoverageBuffer buffer;
  BuildShadowCoverage(bitmap, buffer, 4);
  BlendOverBackground(bitmap, buffer, {});
  EXPECT_EQ(bitmap.Width(), 0);
}

TEST(ColorTest, SystemColoursResolveThroughTheLookupOthersPassUnchanged) {
  const SystemColorLookup lookup = [](int index) {
    return RgbColor(static_cast<std::uint8_t>(index), 2, 3);
  };
  EXPECT_EQ(ResolveColour(SystemColor(kColorBtnFace), lookup), RgbColor(15, 2, 3));
  EXPECT_EQ(ResolveColour(RgbColor(9, 8, 7), lookup), RgbColor(9, 8, 7));
  EXPECT_EQ(ResolveColour(kClNone, lookup), kClNone);
  EXPECT_EQ(SplitColor(0x00332211), (ColorComponents{0x11, 0x22, 0x33}));
}

}  // namespace
}  // namespace qm::label
