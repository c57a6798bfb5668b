#include "archive/data/codecs/fast_decoding.h"

namespace qm::archive {

// Built without libdeflate: every item is inflated step by step.
std::optional<std::size_t> InflateWhole(std::span<const std::uint8_t>, std::span<std::uint8_t>) {
  return std::nullopt;
}

bool WholeInflateBuiltIn() {
  return false;
}

}  // namespace qm::archive
