#include "label/coverage_buffer.h"

#include <algorithm>

namespace qm::label {

void CoverageBuffer::Prepare(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  // Twice the cells in use: the owner has always reserved that much, and keeping the rule
  // keeps the allocation sizes comparable between builds.
  const std::size_t needed = 2 * (static_cast<std::size_t>(width_) + 2) *
                             (static_cast<std::size_t>(height_) + 2);
  if (cells_.size() < needed) cells_.resize(needed);
  std::fill_n(cells_.begin(), needed, std::uint8_t{0});
}

}  // namespace qm::label
