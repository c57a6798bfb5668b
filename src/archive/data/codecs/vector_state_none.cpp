#include "archive/data/codecs/vector_state.h"

namespace qm::archive {

// Processors other than x86's have no such state to clear.
void ClearUpperVectorState() {}

}  // namespace qm::archive
