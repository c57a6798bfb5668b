#include "archive/data/codecs/whole_deflate.h"

#include <zlib.h>

#include <array>
#include <memory>

#include "archive/data/codecs/lending_shelf.h"
#include "archive/data/coding_errors.h"

namespace qm::archive {
namespace {

// A zlib compressor kept for the next item: resetting one costs far less than making one (its
// window and hash tables are a quarter MiB at the default level), which counts on small files.
class KeptDeflate {
 public:
  explicit KeptDeflate(int level) {
    // Negative window bits: raw deflate.
    if (deflateInit2(&z_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      throw CompressionError("error");
    }
  }
  ~KeptDeflate() { deflateEnd(&z_); }
  KeptDeflate(const KeptDeflate&) = delete;
  KeptDeflate& operator=(const KeptDeflate&) = delete;

  z_stream& Reset() {
    if (deflateReset(&z_) != Z_OK) throw CompressionError("error");
    return z_;
  }

 private:
  z_stream z_{};
};

// The kept compressors, one shelf per level.
LendingShelf<KeptDeflate>& ShelfFor(int level) {
  static std::array<LendingShelf<KeptDeflate>, 10> shelves;
  return shelves.at(static_cast<std::size_t>(level));
}

}  // namespace

std::span<std::uint8_t> WholeDeflate::Compress(std::span<const std::uint8_t> input) {
  std::size_t size = CompressFast(input);
  if (size == 0) size = CompressWithZlib(input);
  return std::span(output_.data(), size);
}

std::size_t WholeDeflate::CompressWithZlib(std::span<const std::uint8_t> input) {
  if (level_ < 1 || level_ > 9) throw CompressionError("error");
  const auto kept = ShelfFor(level_).Lend([&] { return std::make_unique<KeptDeflate>(level_); });
  z_stream& z = kept.get()->Reset();
  output_.resize(deflateBound(&z, static_cast<uLong>(input.size())));
  z.next_in = const_cast<Bytef*>(input.data());
  z.avail_in = static_cast<uInt>(input.size());
  z.next_out = output_.data();
  z.avail_out = static_cast<uInt>(output_.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw CompressionError("error");
  return z.total_out;
}

}  // namespace qm::archive
