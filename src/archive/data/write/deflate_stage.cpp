#include "archive/data/write/deflate_stage.h"

#include <zlib.h>

#include <limits>

#include "archive/data/codecs/whole_deflate.h"
#include "archive/data/coding_errors.h"

namespace qm::archive {

struct DeflateStage::ZStream {
  z_stream stream{};
};

DeflateStage::DeflateStage(int level) : level_(level), whole_(level) {}

DeflateStage::~DeflateStage() {
  if (z_) deflateEnd(&z_->stream);
}

std::span<std::uint8_t> DeflateStage::Compress(std::span<const std::uint8_t> input, bool last) {
  // A source that comes whole in its first chunk is compressed in one call.
  if (!z_ && last) return whole_.Compress(input);
  if (!z_) {
    z_ = std::make_unique<ZStream>();
    // Negative window bits: raw deflate, so neither header nor trailer has to be cut off.
    if (deflateInit2(&z_->stream, level_, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      z_.reset();
      throw CompressionError("error");
    }
  }
  z_stream& z = z_->stream;
  // The chunk's worst case, so that one pass normally does; the loop below grows it anyway.
  const auto bound = static_cast<std::size_t>(deflateBound(&z, static_cast<uLong>(input.size())));
  if (output_.size() < bound) output_.resize(bound);
  z.next_in = const_cast<Bytef*>(input.data());
  z.avail_in = static_cast<uInt>(input.size());
  std::size_t produced = 0;
  const int flush = last ? Z_FINISH : Z_NO_FLUSH;
  for (;;) {
    if (produced == output_.size()) output_.resize(output_.size() * 2 + 256);
    const std::size_t room =
        std::min<std::size_t>(output_.size() - produced, std::numeric_limits<uInt>::max());
    z.next_out = output_.data() + produced;
    z.avail_out = static_cast<uInt>(room);
    const int rc = deflate(&z, flush);
    produced += room - z.avail_out;
    if (rc == Z_STREAM_END) break;
    if (rc == Z_BUF_ERROR && z.avail_in == 0 && !last) break;  // nothing more to do now
    if (rc < 0) throw CompressionError("error");
    if (!last && z.avail_in == 0 && z.avail_out != 0) break;
  }
  return std::span(output_.data(), produced);
}

}  // namespace qm::archive
