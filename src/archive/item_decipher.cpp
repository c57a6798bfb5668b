#include "archive/item_decipher.h"

namespace qm::archive {

// The classic and AES transforms are built with encryption support; until then no encrypted
// item can be opened.
std::unique_ptr<ItemDecipher> MakeItemDecipher(const DirItem&, const ZipLocalHeader&) {
  return nullptr;
}

}  // namespace qm::archive
