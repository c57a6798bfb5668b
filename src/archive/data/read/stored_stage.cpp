#include "archive/data/read/stored_stage.h"

#include <algorithm>

namespace qm::archive {
namespace {

constexpr std::int64_t kProgressPiece = 0xFFFF;

}  // namespace

bool StoredStage::Write(std::span<std::uint8_t> data) {
  const auto n = static_cast<std::int64_t>(data.size());
  for (std::int64_t at = 0; at < n; at += kProgressPiece) {
    const std::int64_t piece = std::min(kProgressPiece, n - at);
    if (!events_.Progress(taken_ + at + piece, progress_total_)) return false;
  }
  taken_ += n;
  return next_.Write(data);
}

}  // namespace qm::archive
