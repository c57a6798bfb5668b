#include "archive/data/whole_deflate.h"

#include <zlib.h>

#include "archive/data/coding_errors.h"

namespace qm::archive {

std::span<std::uint8_t> WholeDeflate::Compress(std::span<const std::uint8_t> input) {
  std::size_t size = CompressFast(input);
  if (size == 0) size = CompressWithZlib(input);
  return std::span(output_.data(), size);
}

std::size_t WholeDeflate::CompressWithZlib(std::span<const std::uint8_t> input) {
  z_stream z{};
  // Negative window bits: raw deflate.
  if (deflateInit2(&z, level_, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw CompressionError("error");
  }
  output_.resize(deflateBound(&z, static_cast<uLong>(input.size())));
  z.next_in = const_cast<Bytef*>(input.data());
  z.avail_in = static_cast<uInt>(input.size());
  z.next_out = output_.data();
  z.avail_out = static_cast<uInt>(output_.size());
  const int rc = deflate(&z, Z_FINISH);
  const std::size_t size = z.total_out;
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw CompressionError("error");
  return size;
}

}  // namespace qm::archive
