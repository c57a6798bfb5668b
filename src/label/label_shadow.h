#pragma once

#include <functional>

#include "label/color.h"

namespace qm::label {

enum class LabelShadowMode { smNone, smCustom, smSkin1 };

// The room a label sizes in around its text for a shadow: top_left = min(0, D - B) and
// right_bottom = max(0, D + B), computed without overflow. Each is bounded by
// kMaxShadowOffset: a blur settles within a few dozen pixels, and an unbounded value would
// size the label, and the bitmaps behind it, to gigabytes.
struct ShadowOffsets {
  int top_left = 0;
  int right_bottom = 0;

  friend bool operator==(const ShadowOffsets&, const ShadowOffsets&) = default;
};
inline constexpr int kMaxShadowOffset = 1024;
ShadowOffsets MeasuringOffsets(int distance, int blur_count);

// The shadow settings of a shadowed label. Every change that stores a new value calls the
// owner's change handler so the label can re-measure and repaint.
class LabelShadow {
 public:
  LabelShadow(std::function<void()> on_change, SystemColorLookup system_colors);

  LabelShadowMode Mode() const { return mode_; }
  void SetMode(LabelShadowMode mode);

  ColorValue Color() const { return color_; }
  void SetColor(ColorValue color);

  // Number of blur passes; 0 switches the shadow off.
  int BlurCount() const { return blur_count_; }
  void SetBlurCount(int blur_count);

  // Offset of the shadow to the right and downwards, in pixels.
  int Distance() const { return distance_; }
  void SetDistance(int distance);

  // Red, green and blue of Color() as last resolved: when it was assigned, or by
  // RecomputeComponents() (system colours may change between paints).
  ColorComponents Components() const { return {sr_, sg_, sb_}; }
  void RecomputeComponents();

 private:
  void Changed() const;

  std::function<void()> on_change_;
  SystemColorLookup system_colors_;
  LabelShadowMode mode_ = LabelShadowMode::smSkin1;
  ColorValue color_ = kClBlack;
  int blur_count_ = 4;
  int distance_ = 1;
  std::uint8_t sr_ = 0;
  std::uint8_t sg_ = 0;
  std::uint8_t sb_ = 0;
};

}  // namespace qm::label
