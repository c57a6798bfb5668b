#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <vector>

#include "platform/platform.h"

namespace qm::archive {

// A source that fits in one of the encoder's chunks, read whole into memory ahead of its turn
// and deflated there (by CompressWholeSource, on whichever thread gets to it first). The
// encoder then writes `compressed` instead of reading and deflating the source itself; the
// bytes are what it would have written, since a one-chunk source is deflated in one call
// either way.
struct WholeSource {
  // The source's bytes (handed on to the encoder's source stream once compressed) and the
  // deflate level (1 to 9) they are for.
  std::vector<unsigned char> bytes;
  std::uint8_t mode = 0;
  // What the file was when it was opened to be read (see DirItemChange::SourceStatus).
  std::optional<platform::FileStatus> status;
  // Filled by CompressWholeSource; `failure` holds what the compressor threw, if anything
  // (the encoder then goes the ordinary way, which throws it again at the item's turn).
  std::vector<std::uint8_t> compressed;
  std::uint32_t crc32 = 0;
  std::exception_ptr failure;
};

// The CRC-32 and the raw deflate of `source.bytes` at `source.mode`. Never throws.
void CompressWholeSource(WholeSource& source);

}  // namespace qm::archive
