#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qm::archive {

// Raw deflate of a whole item held in memory, in one call: what an item that fits in one of
// the encoder's chunks (nearly every file of a source tree) goes through. The output is never
// meant to be larger than zlib's at the same level. libdeflate, where it is installed, serves
// the levels at which one of its own levels was never larger than zlib's on our text corpora
// and on the encoder tests' data (it is several times faster); zlib serves the others.
// Throws CompressionError ("error") when a library refuses.
class WholeDeflate {
 public:
  explicit WholeDeflate(int level) : level_(level) {}

  // The compressed form of `input`, valid until the next call.
  std::span<std::uint8_t> Compress(std::span<const std::uint8_t> input);

 private:
  // Compresses `input` into output_ with the faster library and answers the size; 0 when it
  // has no level to match level_ (or is not installed).
  std::size_t CompressFast(std::span<const std::uint8_t> input);
  std::size_t CompressWithZlib(std::span<const std::uint8_t> input);

  int level_;
  std::vector<std::uint8_t> output_;
};

}  // namespace qm::archive
