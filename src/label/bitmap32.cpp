#include "label/bitmap32.h"

#include <algorithm>

namespace qm::label {

Bitmap32::Bitmap32(int width, int height) {
  SetSize(width, height);
}

void Bitmap32::SetSize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  pixels_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) *
                 kBytesPerPixel);
}

void Bitmap32::Fill(std::uint8_t value) {
  std::fill(pixels_.begin(), pixels_.end(), value);
}

Bitmap32 NewWorkingBitmap(int width, int height) {
  return Bitmap32(width, height);
}

}  // namespace qm::label
