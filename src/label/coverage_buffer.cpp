#include "label/coverage_buffer.h"

#include <algorithm>

namespace qm::label {

void CoverageBuffer::Prepare(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  // Twice the cells in use: the second half is the copy SaveCells() keeps.
  const std::size_t needed = 2 * CellCount();
  if (cells_.size() < needed) cells_.resize(needed);
  std::fill_n(cells_.begin(), needed, std::uint8_t{0});
}

void CoverageBuffer::SaveCells() {
  std::copy_n(cells_.begin(), CellCount(),
              cells_.begin() + static_cast<std::ptrdiff_t>(CellCount()));
}

bool CoverageBuffer::CellsUnchangedSinceSave() const {
  return std::equal(cells_.begin(), cells_.begin() + static_cast<std::ptrdiff_t>(CellCount()),
                    cells_.begin() + static_cast<std::ptrdiff_t>(CellCount()));
}

}  // namespace qm::label
