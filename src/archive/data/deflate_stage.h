#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace qm::archive {

// The compressing stage: raw deflate (no zlib header, no Adler-32 trailer; what an archive
// stores) at levels 1 to 9, fed chunk by chunk. Between chunks nothing is flushed, so the
// stream is what one call over the whole source would give: never larger than a stream cut
// at flush points, and faster. Throws CompressionError ("error") when zlib refuses.
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
  std::unique_ptr<ZStream> z_;
  std::vector<std::uint8_t> output_;
};

}  // namespace qm::archive
