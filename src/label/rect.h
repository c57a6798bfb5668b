#pragma once

namespace qm::label {

// A rectangle by its edges; right and bottom lie just outside it.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  friend bool operator==(const Rect&, const Rect&) = default;
};

// An inverted rectangle covers no pixels rather than a negative number of them.
constexpr int ClampedWidth(const Rect& rect) {
  return rect.right > rect.left ? rect.right - rect.left : 0;
}

constexpr int ClampedHeight(const Rect& rect) {
  return rect.bottom > rect.top ? rect.bottom - rect.top : 0;
}

}  // namespace qm::label
