#include <gtest/gtest.h>

#include <limits>

#include "label/label_kind.h"
#include "label/label_shadow.h"

namespace qm::label {
namespace {

TEST(LabelShadowTest, DefaultsAndChangeNotificationOnlyForNewValues) {
  int changes = 0;
  LabelShadow shadow([&] { ++changes; }, {});
  EXPECT_EQ(shadow.Mode(), LabelShadowMode::smSkin1);
  EXPECT_EQ(shadow.Color(), kClBlack);
  EXPECT_EQ(shadow.BlurCount(), 4);
  EXPECT_EQ(shadow.Distance(), 1);
  EXPECT_EQ(shadow.Components(), (ColorComponents{0, 0, 0}));

  shadow.SetMode(LabelShadowMode::smSkin1);
  shadow.SetColor(kClBlack);
  shadow.SetBlurCount(4);
  shadow.SetDistance(1);
  EXPECT_EQ(changes, 0);

  shadow.SetMode(LabelShadowMode::smCustom);
  shadow.SetBlurCount(0);
  shadow.SetDistance(-2);
  shadow.SetColor(RgbColor(1, 2, 3));
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(shadow.Components(), (ColorComponents{1, 2, 3}));
}

TEST(LabelShadowTest, SystemColourComponentsFollowTheSystemWhenRecomputed) {
  ColorValue button_face = RgbColor(240, 240, 240);
  LabelShadow shadow({},
                     [&](int index) { return index == kColorBtnFace ? button_face : kClBlack; });
  shadow.SetColor(SystemColor(kColorBtnFace));
  EXPECT_EQ(shadow.Components(), (ColorComponents{240, 240, 240}));
  button_face = RgbColor(10, 20, 30);
  EXPECT_EQ(shadow.Components(), (ColorComponents{240, 240, 240}));
  shadow.RecomputeComponents();
  EXPECT_EQ(shadow.Components(), (ColorComponents{10, 20, 30}));
}

TEST(MeasuringOffsetsTest, RoomAroundTheTextForEachSideOfTheShadow) {
  struct Case {
    int distance, blur_count;
    ShadowOffsets expected;
  };
  constexpr int kMax = std::numeric_limits<int>::max();
  constexpr int kMin = std::numeric_limits<int>::min();
  const Case cases[] = {
      {1, 4, {-3, 5}},   // the defaults
      {6, 2, {0, 8}},    // distance beyond the blur: only right and bottom
      {-6, 2, {-8, 0}},  // a shadow up and left
      {0, -3, {0, 0}},   // a negative count gives no room
      {kMax, kMax, {0, kMaxShadowOffset}},
      {kMin, kMax, {-kMaxShadowOffset, 0}},
      {kMax, kMin, {0, 0}},  // D + B is -1 here, not a wrapped-around sum
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MeasuringOffsets(c.distance, c.blur_count), c.expected)
        << c.distance << " " << c.blur_count;
  }
}

TEST(LabelKindTest, DefaultsAndChangeNotificationOnlyForNewValues) {
  int changes = 0;
  LabelKind kind([&] { ++changes; });
  EXPECT_EQ(kind.KindType(), LabelKindType::ktSkin);
  EXPECT_EQ(kind.Color(), kClWhite);
  kind.SetKindType(LabelKindType::ktSkin);
  kind.SetColor(kClWhite);
  EXPECT_EQ(changes, 0);
  kind.SetKindType(LabelKindType::ktCustom);
  kind.SetColor(RgbColor(255, 0, 0));
  EXPECT_EQ(changes, 2);
}

}  // namespace
}  // namespace qm::label
