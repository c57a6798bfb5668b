#pragma once

#include "label/bitmap32.h"
#include "label/color.h"
#include "label/rect.h"

namespace qm::testing {

// Where a screenshot's label shadow lies relative to its text. `text` is the glyph coverage of
// the screenshot (same size; a pixel is text where its blue byte is not 0) and `area` the
// label's whole rectangle (it may reach beyond the screenshot). For every shift of the text by
// up to `max_shift` pixels the shadow the label code would build from it is blended over the
// background and compared with the screenshot away from the text; the best shift is the
// shadow's offset.
struct ShadowFit {
  int dx = 0;
  int dy = 0;
  long long error = 0;  // summed colour difference of the best shift
  int text_pixels = 0;
};

ShadowFit FitShadowOffset(const label::Bitmap32& capture, const label::Bitmap32& text,
                          label::Rect area, label::ColorComponents background, int blur_count,
                          int max_shift = 2);

// The glyph coverage of a screenshot whose text is drawn without smoothing: its pixels in
// exactly the text colour.
label::Bitmap32 PixelsInColour(const label::Bitmap32& capture, label::ColorComponents colour);

}  // namespace qm::testing
