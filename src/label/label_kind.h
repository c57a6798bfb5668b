#pragma once

#include <functional>

#include "label/color.h"

namespace qm::label {

enum class LabelKindType { ktStandard, ktCustom, ktSkin };

// Where a shadowed label takes its text colour from. Changes call the owner's handler.
class LabelKind {
 public:
  explicit LabelKind(std::function<void()> on_change);

  LabelKindType KindType() const { return kind_type_; }
  void SetKindType(LabelKindType kind_type);

  // The text colour for ktCustom, and for ktSkin while no skin supplies one.
  ColorValue Color() const { return color_; }
  void SetColor(ColorValue color);

 private:
  void Changed() const;

  std::function<void()> on_change_;
  LabelKindType kind_type_ = LabelKindType::ktSkin;
  ColorValue color_ = kClWhite;
};

}  // namespace qm::label
