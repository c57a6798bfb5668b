#pragma once

#include "label/bitmap32.h"
#include "label/color.h"
#include "label/coverage_buffer.h"

namespace qm::label {

// The steps that turn a bitmap holding white text on black into a soft shadow. All
// arithmetic is on bytes with truncating shifts, so results are exact and repeatable.
// Each function requires the buffer to have been prepared for the bitmap's size and throws
// std::invalid_argument otherwise.

// Sets the cell of every pixel whose blue byte is not 0 to 255; other cells keep their value.
void StampText(const Bitmap32& bitmap, CoverageBuffer& buffer);

// One in-place pass, rows top to bottom, cells left to right: each inner cell becomes the
// truncated mean of its four neighbours as they are at that moment (above and left already
// blurred by this pass, below and right not yet). Border cells are read, never written.
void BlurPass(CoverageBuffer& buffer);

// Prepares the buffer for the bitmap and runs blur_count rounds of stamp-then-blur (fewer
// when the coverage has settled, with the same result); a count of 0 or less leaves the
// coverage all 0.
void BuildShadowCoverage(const Bitmap32& text, CoverageBuffer& buffer, int blur_count);

// c = (c * (255 - a) + s * a) >> 8 for the blue, green and red bytes of every pixel, a being
// its coverage. The weights add up to 255 but the shift divides by 256, so even an uncovered
// pixel comes out one step darker.
void BlendOverBackground(Bitmap32& bitmap, const CoverageBuffer& buffer, ColorComponents shadow);

// The same with the background taken from a plain colour instead of the bitmap.
void BlendOverColour(Bitmap32& bitmap, const CoverageBuffer& buffer, ColorComponents shadow,
                     ColorComponents background);

}  // namespace qm::label
