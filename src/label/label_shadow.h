#pragma once

#include <functional>

#include "label/color.h"

namespace qm::label {

enum class LabelShadowMode { smNone, smCustom, smSkin1 };

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
