#include "support/shadow_fit.h"

#include <cstdlib>
#include <limits>

#include "label/raster_effects.h"

namespace qm::testing {
namespace {

using label::Bitmap32;

bool IsColour(const std::uint8_t* pixel, label::ColorComponents colour) {
  return pixel[Bitmap32::kRed] == colour.red && pixel[Bitmap32::kGreen] == colour.green &&
         pixel[Bitmap32::kBlue] == colour.blue;
}

}  // namespace

Bitmap32 PixelsInColour(const Bitmap32& capture, label::ColorComponents colour) {
  Bitmap32 mask(capture.Width(), capture.Height());
  mask.Fill(0);
  for (int y = 0; y < capture.Height(); ++y) {
    for (int x = 0; x < capture.Width(); ++x) {
      if (IsColour(capture.Pixel(x, y), colour)) mask.Pixel(x, y)[Bitmap32::kBlue] = 255;
    }
  }
  return mask;
}

ShadowFit FitShadowOffset(const Bitmap32& capture, const Bitmap32& text, label::Rect area,
                          label::ColorComponents background, int blur_count, int max_shift) {
  const int width = label::ClampedWidth(area);
  const int height = label::ClampedHeight(area);
  // Label coordinates to the screenshot's; the part outside it is not compared.
  auto visible = [&](int x, int y) {
    const int cx = area.left + x, cy = area.top + y;
    return cx >= 0 && cy >= 0 && cx < capture.Width() && cy < capture.Height();
  };
  auto is_text = [&](int x, int y) {
    return visible(x, y) && text.Pixel(area.left + x, area.top + y)[Bitmap32::kBlue] != 0;
  };

  ShadowFit best;
  best.error = std::numeric_limits<long long>::max();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) best.text_pixels += is_text(x, y);
  }
  Bitmap32 predicted(width, height);
  label::CoverageBuffer coverage;
  for (int dy = -max_shift; dy <= max_shift; ++dy) {
    for (int dx = -max_shift; dx <= max_shift; ++dx) {
      predicted.Fill(0);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          if (is_text(x - dx, y - dy)) predicted.Pixel(x, y)[Bitmap32::kBlue] = 255;
        }
      }
      label::BuildShadowCoverage(predicted, coverage, blur_count);
      label::BlendOverColour(predicted, coverage, {0, 0, 0}, background);
      long long error = 0;
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          if (!visible(x, y) || is_text(x, y)) continue;  // the text covers its own shadow
          const std::uint8_t* seen = capture.Pixel(area.left + x, area.top + y);
          const std::uint8_t* expected = predicted.Pixel(x, y);
          for (int channel = 0; channel < 3; ++channel) {
            error += std::abs(seen[channel] - expected[channel]);
          }
        }
      }
      if (error < best.error) {
        best.dx = dx;
        best.dy = dy;
        best.error = error;
      }
    }
  }
  return best;
}

}  // namespace qm::testing
