#pragma once

#include "label/bitmap32.h"
#include "label/color.h"
#include "label/rect.h"

namespace qm::testing {

// Where a screenshot's label shadow lies relative to its text. `area` is the label's whole
// rectangle (it may reach beyond the screenshot). The text is taken as its pixels in exactly
// the text colour; for every shift of that text by up to
// `max_shift` pixels the shadow the label code would build from it is blended over the
// background, the text put back on top, and compared with the screenshot. The best shift is
// the shadow's offset.
struct ShadowFit {
  int dx = 0;
  int dy = 0;
  long long error = 0;  // summed colour difference of the best shift
  int text_pixels = 0;
};

ShadowFit FitShadowOffset(const label::Bitmap32& capture, label::Rect area,
                          label::ColorComponents text, label::ColorComponents background,
                          int blur_count, int max_shift = 2);

}  // namespace qm::testing
