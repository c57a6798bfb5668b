#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qm::label {

// One byte of shadow coverage per pixel of a W x H bitmap, framed by a ring of border cells
// that stay 0 so the blur can read every neighbour without bounds checks. Cell (x+1, y+1)
// belongs to pixel (x, y); rows are W+2 bytes.
class CoverageBuffer {
 public:
  // Readies the buffer for a W x H bitmap: reserves 2 x (W+2) x (H+2) bytes, growing the
  // allocation only when it is too small (it is never shrunk), and clears them to 0.
  void Prepare(int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }
  std::size_t Stride() const { return static_cast<std::size_t>(width_) + 2; }
  std::size_t AllocatedSize() const { return cells_.size(); }

  std::uint8_t* CellRow(int cell_y) {
    return cells_.data() + static_cast<std::size_t>(cell_y) * Stride();
  }
  const std::uint8_t* CellRow(int cell_y) const {
    return cells_.data() + static_cast<std::size_t>(cell_y) * Stride();
  }
  std::uint8_t Cell(int cell_x, int cell_y) const { return CellRow(cell_y)[cell_x]; }
  // The coverage of pixel (x, y).
  std::uint8_t Coverage(int x, int y) const { return Cell(x + 1, y + 1); }

  // The second half of the reservation holds a copy of the cells, so a shadow build can tell
  // when a round of stamping and blurring has stopped changing anything.
  void SaveCells();
  bool CellsUnchangedSinceSave() const;

 private:
  std::size_t CellCount() const { return Stride() * (static_cast<std::size_t>(height_) + 2); }

  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> cells_;
};

}  // namespace qm::label
