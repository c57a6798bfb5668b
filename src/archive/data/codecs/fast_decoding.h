#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace qm::archive {

// The fastest CRC-32 at hand (libdeflate's uses carry-less multiplication where the processor
// has it), continuing `crc` as zlib's crc32 does: 0 to start.
std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> bytes);

// Inflates a whole raw deflate stream held in memory into `output` in one call. The size made
// when the stream ends within `input` and fits `output`; nothing when it is damaged, truncated,
// larger than `output`, or no one-call inflater is built in. The caller then inflates the same
// input step by step, which tells damaged data apart from a short buffer.
std::optional<std::size_t> InflateWhole(std::span<const std::uint8_t> input,
                                        std::span<std::uint8_t> output);
// Whether InflateWhole can succeed at all in this build.
bool WholeInflateBuiltIn();

}  // namespace qm::archive
