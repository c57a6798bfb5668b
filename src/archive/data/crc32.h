#pragma once

#include <cstdint>

namespace qm::archive {

// CRC-32 of ISO 3309 / IEEE 802.3 (reflected polynomial 0xEDB88320) without the inversions:
// callers start at 0xFFFFFFFF and complement the result. A null buffer or a length of 0 or
// less leaves `crc` unchanged.
std::uint32_t UpdateCrc32(std::uint32_t crc, const void* buffer, std::int32_t length);

}  // namespace qm::archive
