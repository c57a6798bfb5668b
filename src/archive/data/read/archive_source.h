#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "archive/data/item_sink.h"
#include "platform/stream.h"

namespace qm::archive {

// The head of the reading path: an item's stored bytes, read from the archive in chunks of
// 1 MiB and pushed into the first stage.
class ArchiveSource {
 public:
  static constexpr std::int64_t kChunk = 0x100000;

  // `archive` stands at the first stored byte; `length` bytes belong to the item.
  ArchiveSource(platform::Stream& archive, std::int64_t length)
      : archive_(archive), length_(length) {}

  // Pushes chunk after chunk into `first` until the item's bytes are through or `first` has
  // ended. After every chunk `after_chunk` is asked whether enough has been made; true ends the
  // run early. False when the archive came up short (no next volume to go on with here) or a
  // stage stopped the path.
  bool Run(ItemSink& first, const std::function<bool()>& after_chunk);

 private:
  platform::Stream& archive_;
  std::int64_t length_;
};

// Reads `into` from `position` in `archive` and puts the archive back where it stood: for a
// stage that must go over an item's stored bytes again. False when the archive comes up short.
bool ReadAgain(platform::Stream& archive, std::int64_t position, std::span<std::uint8_t> into);

}  // namespace qm::archive
