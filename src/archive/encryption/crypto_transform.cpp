#include "archive/encryption/crypto_transform.h"

namespace qm::archive {

void CryptoTransform::Initialize(CryptoTransformMode mode, const DirItem& /*item*/) {
  transform_mode_ = mode;
}

}  // namespace qm::archive
