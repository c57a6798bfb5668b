#pragma once

#include <cstdint>
#include <span>

#include "archive/data/item_data_events.h"
#include "platform/stream.h"

namespace qm::archive {

// The last writing stage: the archive (or a record's temporary file). A write that does not
// take every byte (a full disk, a quota, a lost device) is offered to ItemDataEvents::DiskFull,
// which may have it tried again from the same position as often as it likes.
class ArchiveSink {
 public:
  ArchiveSink(platform::Stream& destination, ItemDataEvents& events)
      : destination_(destination), events_(events) {}

  // False when the user gave up after a refused write; nothing more should be written then.
  bool Write(std::span<const std::uint8_t> bytes);
  // Bytes written so far.
  std::uint64_t Written() const { return written_; }

 private:
  platform::Stream& destination_;
  ItemDataEvents& events_;
  std::uint64_t written_ = 0;
};

}  // namespace qm::archive
