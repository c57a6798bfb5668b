#pragma once

#include <cstdint>
#include <span>

#include "archive/data/item_data_events.h"
#include "archive/data/item_sink.h"

namespace qm::archive {

// Passes a stored item's bytes on as they are. Progress is told in pieces of 64 KiB of every
// chunk, as the bytes taken so far of `progress_total`, before the chunk goes on in one write
// (a chunk cancelled part way is not passed on).
class StoredStage final : public ItemSink {
 public:
  StoredStage(ItemSink& next, ItemDataEvents& events, std::int64_t progress_total)
      : next_(next), events_(events), progress_total_(progress_total) {}

  bool Write(std::span<std::uint8_t> data) override;
  std::int64_t Room() const override { return next_.Room(); }

 private:
  ItemSink& next_;
  ItemDataEvents& events_;
  std::int64_t progress_total_;
  std::int64_t taken_ = 0;
};

}  // namespace qm::archive
