#include "label/color.h"

namespace qm::label {

ColorValue ResolveColour(ColorValue color, const SystemColorLookup& lookup) {
  if (!IsSystemColor(color)) return color;
  if (!lookup) return kClBlack;
  return lookup(static_cast<int>(color & 0xFF));
}

}  // namespace qm::label
