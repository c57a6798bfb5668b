#pragma once

namespace qm::crypto {

// The AES and SHA instructions of the processor are used when it has them. Turning this off
// forces the portable code, which gives the same results; tests run both and the benchmark
// reports both. The switch is process-wide and may be flipped between operations.
void SetHardwareAcceleration(bool enabled);
bool HardwareAccelerationEnabled();

// Whether the next AES block operation / SHA-1 compression will use processor instructions.
bool AesInstructionsInUse();
bool ShaInstructionsInUse();

}  // namespace qm::crypto
