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

void SetColour(std::uint8_t* pixel, label::ColorComponents colour) {
  pixel[Bitmap32::kRed] = colour.red;
  pixel[Bitmap32::kGreen] = colour.green;
  pixel[Bitmap32::kBlue] = colour.blue;
}

}  // namespace

ShadowFit FitShadowOffset(const Bitmap32& capture, label::Rect area, label::ColorComponents text,
                          label::ColorComponents background, int blur_count, int max_shift) {
  const int width = label::ClampedWidth(area);
  const int height = label::ClampedHeight(area);
  // The label may reach beyond the window's client area; the part outside is not compared.
  auto captured = [&](int x, int y) -> const std::uint8_t* {
    const int cx = area.left + x, cy = area.top + y;
    if (cx < 0 || cy < 0 || cx >= capture.Width() || cy >= capture.Height()) return nullptr;
    return capture.Pixel(cx, cy);
  };
  auto is_text = [&](int x, int y) {
    const std::uint8_t* pixel = captured(x, y);
    return pixel != nullptr && IsColour(pixel, text);
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
          const int sx = x - dx, sy = y - dy;
          if (sx >= 0 && sy >= 0 && sx < width && sy < height && is_text(sx, sy)) {
            SetColour(predicted.Pixel(x, y), {255, 255, 255});
          }
        }
      }
      label::BuildShadowCoverage(predicted, coverage, blur_count);
      label::BlendOverColour(predicted, coverage, {0, 0, 0}, background);
      long long error = 0;
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          const std::uint8_t* seen = captured(x, y);
          if (seen == nullptr || IsColour(seen, text)) continue;  // text covers its own shadow
          const std::uint8_t* expected = predicted.Pixel(x, y);
          for (int channel = 0; channel < 3; ++channel)
            error += std::abs(seen[channel] - expected[channel]);
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
