#include <libdeflate.h>

#include <memory>

#include "archive/data/fast_decoding.h"

namespace qm::archive {
namespace {

struct DecompressorFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

libdeflate_decompressor* DecompressorForThread() {
  thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> kept(
      libdeflate_alloc_decompressor());
  return kept.get();
}

}  // namespace

std::optional<std::size_t> InflateWhole(std::span<const std::uint8_t> input,
                                        std::span<std::uint8_t> output) {
  libdeflate_decompressor* decompressor = DecompressorForThread();
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
