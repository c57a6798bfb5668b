#include "label/label_kind.h"

#include <utility>

namespace qm::label {

LabelKind::LabelKind(std::function<void()> on_change) : on_change_(std::move(on_change)) {}

void LabelKind::SetKindType(LabelKindType kind_type) {
  if (kind_type == kind_type_) return;
  kind_type_ = kind_type;
  Changed();
}

void LabelKind::SetColor(ColorValue color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void LabelKind::Changed() const {
  if (on_change_) on_change_();
}

}  // namespace qm::label
