#include "archive/data/codecs/whole_deflate.h"

namespace qm::archive {

// Built without libdeflate: zlib does every level.
std::size_t WholeDeflate::CompressFast(std::span<const std::uint8_t>) {
  return 0;
}

}  // namespace qm::archive
