#pragma once

#include <cstdint>
#include <span>

#include "archive/data/item_data_events.h"
#include "archive/data/item_sink.h"
#include "platform/stream.h"

namespace qm::archive {

// The end of the reading path: writes the item's bytes to the output stream. A write that
// comes up short or is refused (a full disk, a quota, a lost device) is told to the events,
// which may have it tried again from the same position.
class OutputWriter final : public ItemSink {
 public:
  OutputWriter(platform::Stream& out, ItemDataEvents& events) : out_(out), events_(events) {}

  // False when the events gave the write up.
  bool Write(std::span<std::uint8_t> data) override;

 private:
  platform::Stream& out_;
  ItemDataEvents& events_;
};

}  // namespace qm::archive
