#include "label/raster_effects.h"

#include <stdexcept>

namespace qm::label {
namespace {

void RequireSameSize(const Bitmap32& bitmap, const CoverageBuffer& buffer) {
  if (bitmap.Width() != buffer.Width() || bitmap.Height() != buffer.Height()) {
    throw std::invalid_argument("coverage buffer not prepared for this bitmap");
  }
}

constexpr std::uint8_t Mix(unsigned under, unsigned over, unsigned coverage) {
  return static_cast<std::uint8_t>((under * (255u - coverage) + over * coverage) >> 8);
}

// Both blends share one loop; under() gives the background component for a pixel byte.
template <typename Under>
void Blend(Bitmap32& bitmap, const CoverageBuffer& buffer, ColorComponents shadow, Under under) {
  RequireSameSize(bitmap, buffer);
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::uint8_t* pixel = bitmap.Row(y);
    const std::uint8_t* coverage = buffer.CellRow(y + 1) + 1;
    for (int x = 0; x < bitmap.Width(); ++x, pixel += Bitmap32::kBytesPerPixel) {
      const unsigned a = coverage[x];
      pixel[Bitmap32::kBlue] = Mix(under(pixel[Bitmap32::kBlue], Bitmap32::kBlue), shadow.blue, a);
      pixel[Bitmap32::kGreen] =
          Mix(under(pixel[Bitmap32::kGreen], Bitmap32::kGreen), shadow.green, a);
      pixel[Bitmap32::kRed] = Mix(under(pixel[Bitmap32::kRed], Bitmap32::kRed), shadow.red, a);
    }
  }
}

}  // namespace

void StampText(const Bitmap32& bitmap, CoverageBuffer& buffer) {
  RequireSameSize(bitmap, buffer);
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint8_t* pixel = bitmap.Row(y);
    std::uint8_t* cells = buffer.CellRow(y + 1) + 1;
    for (int x = 0; x < bitmap.Width(); ++x, pixel += Bitmap32::kBytesPerPixel) {
      if (pixel[Bitmap32::kBlue] != 0) cells[x] = 255;
    }
  }
}

void BlurPass(CoverageBuffer& buffer) {
  const std::size_t stride = buffer.Stride();
  for (int cell_y = 1; cell_y <= buffer.Height(); ++cell_y) {
    std::uint8_t* row = buffer.CellRow(cell_y);
    const std::uint8_t* above = row - stride;
    const std::uint8_t* below = row + stride;
    for (int cell_x = 1; cell_x <= buffer.Width(); ++cell_x) {
      const unsigned sum = above[cell_x] + below[cell_x] + row[cell_x - 1] + row[cell_x + 1];
      row[cell_x] = static_cast<std::uint8_t>(sum >> 2);
    }
  }
}

void BuildShadowCoverage(const Bitmap32& text, CoverageBuffer& buffer, int blur_count) {
  buffer.Prepare(text.Width(), text.Height());
  // Re-stamping before each pass keeps the glyphs solid while the halo spreads outwards.
  // The truncating average settles within a few dozen rounds; once a round leaves every cell
  // as it found it, all later rounds would too, so stopping there gives the same coverage and
  // keeps a huge blur count from freezing the paint.
  for (int pass = 0; pass < blur_count; ++pass) {
    buffer.SaveCells();
    StampText(text, buffer);
    BlurPass(buffer);
    if (buffer.CellsUnchangedSinceSave()) break;
  }
}

void BlendOverBackground(Bitmap32& bitmap, const CoverageBuffer& buffer, ColorComponents shadow) {
  Blend(bitmap, buffer, shadow, [](std::uint8_t current, int) { return unsigned{current}; });
}

void BlendOverColour(Bitmap32& bitmap, const CoverageBuffer& buffer, ColorComponents shadow,
                     ColorComponents background) {
  Blend(bitmap, buffer, shadow, [background](std::uint8_t, int channel) {
    switch (channel) {
      case Bitmap32::kBlue:
        return unsigned{background.blue};
      case Bitmap32::kGreen:
        return unsigned{background.green};
      default:
        return unsigned{background.red};
    }
  });
}

}  // namespace qm::label
