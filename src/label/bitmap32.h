#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qm::label {

// A 32-bit bitmap in memory: rows top first, each pixel four bytes blue, green, red and a
// spare byte the effects leave alone.
class Bitmap32 {
 public:
  static constexpr int kBytesPerPixel = 4;
  static constexpr int kBlue = 0;
  static constexpr int kGreen = 1;
  static constexpr int kRed = 2;
  static constexpr int kSpare = 3;

  Bitmap32() = default;
  Bitmap32(int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }

  // Negative sizes count as 0. The storage only grows: a label repainted at the same or a
  // smaller size reuses it. Pixel values are unspecified afterwards.
  void SetSize(int width, int height);
  void Fill(std::uint8_t value);

  std::uint8_t* Row(int y) { return pixels_.data() + RowOffset(y); }
  const std::uint8_t* Row(int y) const { return pixels_.data() + RowOffset(y); }
  std::uint8_t* Pixel(int x, int y) {
    return Row(y) + static_cast<std::size_t>(x) * kBytesPerPixel;
  }
  const std::uint8_t* Pixel(int x, int y) const {
    return Row(y) + static_cast<std::size_t>(x) * kBytesPerPixel;
  }

 private:
  std::size_t RowOffset(int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) * kBytesPerPixel;
  }

  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> pixels_;
};

Bitmap32 NewWorkingBitmap(int width, int height);

}  // namespace qm::label
