#include <libdeflate.h>

#include <memory>

#include "archive/data/codecs/fast_decoding.h"
#include "archive/data/codecs/lending_shelf.h"

namespace qm::archive {
namespace {

struct DecompressorFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

using DecompressorShelf = LendingShelf<libdeflate_decompressor, DecompressorFree>;

// The decompressors kept for the next item, for the caller's thread and the inflate worker.
DecompressorShelf& Decompressors() {
  static DecompressorShelf shelf;
  return shelf;
}

}  // namespace

std::optional<std::size_t> InflateWhole(std::span<const std::uint8_t> input,
                                        std::span<std::uint8_t> output) {
  const auto kept =
      Decompressors().Lend([] { return DecompressorShelf::Item(libdeflate_alloc_decompressor()); });
  libdeflate_decompressor* decompressor = kept.get();
  if (decompressor == nullptr) return std::nullopt;
  std::size_t used = 0;
  std::size_t made = 0;
  const libdeflate_result rc = libdeflate_deflate_decompress_ex(
      decompressor, input.data(), input.size(), output.data(), output.size(), &used, &made);
  if (rc != LIBDEFLATE_SUCCESS) return std::nullopt;
  return made;
}

bool WholeInflateBuiltIn() {
  return true;
}

}  // namespace qm::archive
