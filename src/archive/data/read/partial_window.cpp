#include "archive/data/read/partial_window.h"

namespace qm::archive {

bool PartialWindow::AfterChunk(std::int64_t before, std::int64_t after) {
  if (after < start_) {
    out_.SetPosition(0);
  } else if (before < start_) {
    offset_ = start_ - before;
  }
  if (start_ + count_ > after) return false;
  if (start_ > 0) out_.SetPosition(offset_);
  return true;
}

}  // namespace qm::archive
