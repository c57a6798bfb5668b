#include "archive/data/codecs/fast_inflater.h"

namespace qm::archive {

// Built without ISA-L: every item is inflated step by step by zlib.
std::unique_ptr<FastInflater> FastInflater::Make() {
  return nullptr;
}

}  // namespace qm::archive
