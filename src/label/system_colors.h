#pragma once

#include <QPalette>

#include "label/color.h"

namespace qm::label {

// The current value of a system colour index, read from a palette: the colour the toolkit
// uses for the same purpose (button face, button shadow, window text, ...). Unknown indices
// answer black.
ColorValue SystemColorFromPalette(const QPalette& palette, int index);

QColor ToQColor(ColorValue resolved);
ColorValue FromQColor(const QColor& color);

}  // namespace qm::label
