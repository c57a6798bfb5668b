#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "archive/data/codecs/whole_deflate.h"

namespace qm::archive {

// The compressing stage: raw deflate (no zlib header, no Adler-32 trailer; what an archive
// stores) at levels 1 to 9, fed chunk by chunk. Between chunks nothing is flushed, so the
// stream is what one call over the whole source would give: never larger than a stream cut
// at flush points, and faster. A source whose first chunk is its last goes to WholeDeflate in
// one call; longer ones stream through zlib, so that memory stays at one chunk whatever the
// size. Throws CompressionError ("error") when the library refuses.
class DeflateStage {
 public:
  explicit DeflateStage(int level);
  ~DeflateStage();
  DeflateStage(const DeflateStage&) = delete;
  DeflateStage& operator=(const DeflateStage&) = delete;

  // Compresses `input`; `last` ends the stream. The bytes answered are valid until the next
  // call (a chunk may answer none: deflate holds them for the next one).
  std::span<std::uint8_t> Compress(std::span<const std::uint8_t> input, bool last);

 private:
  struct ZStream;
  int level_;
  WholeDeflate whole_;
  std::unique_ptr<ZStream> z_;  // made for the first chunk that is not the last
  std::vector<std::uint8_t> output_;
};

}  // namespace qm::archive
