#pragma once

#include <cstdint>

namespace qm::platform {

// A value that differs from call to call and from run to run: the wall clock mixed with the
// high-resolution counter. Seeds generators whose output only needs to be unpredictable
// enough to wipe memory or vary padding, never for key material.
std::uint64_t ClockSeed();

}  // namespace qm::platform
