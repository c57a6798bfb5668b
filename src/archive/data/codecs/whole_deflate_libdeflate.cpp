#include <libdeflate.h>

#include <array>
#include <memory>

#include "archive/data/codecs/lending_shelf.h"
#include "archive/data/codecs/whole_deflate.h"
#include "archive/data/coding_errors.h"

namespace qm::archive {
namespace {

// zlib's level -> the lowest libdeflate level never larger than it on our text corpora and on
// the encoder tests' data; 0: none that is also faster than zlib (above 4 only libdeflate's
// slow near-optimal levels beat zlib on very repetitive data).
constexpr std::array<int, 10> kLibdeflateLevel = {0, 2, 3, 4, 6, 0, 0, 0, 0, 0};

struct CompressorFree {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
using CompressorShelf = LendingShelf<libdeflate_compressor, CompressorFree>;

// The compressors kept, one shelf per level: making one (its tables are hundreds of KiB) costs
// more than compressing a small file.
CompressorShelf& ShelfFor(int level) {
  static std::array<CompressorShelf, 13> shelves;
  return shelves.at(static_cast<std::size_t>(level));
}

}  // namespace

std::size_t WholeDeflate::CompressFast(std::span<const std::uint8_t> input) {
  if (level_ < 0 || level_ >= static_cast<int>(kLibdeflateLevel.size())) return 0;
  const int level = kLibdeflateLevel[static_cast<std::size_t>(level_)];
  if (level == 0) return 0;
  const auto kept = ShelfFor(level).Lend(
      [&] { return CompressorShelf::Item(libdeflate_alloc_compressor(level)); });
  if (kept.get() == nullptr) throw CompressionError("error");
  libdeflate_compressor& compressor = *kept.get();
  output_.resize(libdeflate_deflate_compress_bound(&compressor, input.size()));
  const std::size_t size = libdeflate_deflate_compress(&compressor, input.data(), input.size(),
                                                       output_.data(), output_.size());
  if (size == 0) throw CompressionError("error");
  return size;
}

}  // namespace qm::archive
