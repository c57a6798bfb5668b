#include "label/label_shadow.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace qm::label {

ShadowOffsets MeasuringOffsets(int distance, int blur_count) {
  const std::int64_t d = distance;
  const std::int64_t b = blur_count;
  const auto bounded = [](std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, -kMaxShadowOffset, kMaxShadowOffset));
  };
  return {bounded(std::min<std::int64_t>(0, d - b)), bounded(std::max<std::int64_t>(0, d + b))};
}

LabelShadow::LabelShadow(std::function<void()> on_change, SystemColorLookup system_colors)
    : on_change_(std::move(on_change)), system_colors_(std::move(system_colors)) {}

void LabelShadow::SetMode(LabelShadowMode mode) {
  if (mode == mode_) return;
  mode_ = mode;
  Changed();
}

void LabelShadow::SetColor(ColorValue color) {
  if (color == color_) return;
  color_ = color;
  RecomputeComponents();
  Changed();
}

void LabelShadow::SetBlurCount(int blur_count) {
  if (blur_count == blur_count_) return;
  blur_count_ = blur_count;
  Changed();
}

void LabelShadow::SetDistance(int distance) {
  if (distance == distance_) return;
  distance_ = distance;
  Changed();
}

void LabelShadow::RecomputeComponents() {
  const ColorComponents components = SplitColor(ResolveColour(color_, system_colors_));
  sr_ = components.red;
  sg_ = components.green;
  sb_ = components.blue;
}

void LabelShadow::Changed() const {
  if (on_change_) on_change_();
}

}  // namespace qm::label
