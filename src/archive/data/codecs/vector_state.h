#pragma once

namespace qm::archive {

// ISA-L's AVX-512 routines (its CRC-32 and inflate) return with the upper halves of the vector
// registers still marked in use. Code built for SSE that runs after them (zlib, the AES and
// SHA kernels) then ran a fifth to a third slower here, until something cleared that state.
// Called after each ISA-L call; nothing where the processor has no AVX.
void ClearUpperVectorState();

}  // namespace qm::archive
