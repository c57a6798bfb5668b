#include <immintrin.h>

#include "archive/data/codecs/vector_state.h"

namespace qm::archive {
namespace {

__attribute__((target("avx"))) void ZeroUpper() {
  _mm256_zeroupper();
}

}  // namespace

void ClearUpperVectorState() {
  static const bool has_avx = __builtin_cpu_supports("avx");
  if (has_avx) ZeroUpper();
}

}  // namespace qm::archive
