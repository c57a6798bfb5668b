#pragma once

#include <cstdint>
#include <limits>
#include <span>

namespace qm::archive {

// One stage of an item's reading path, as the stage in front of it sees it: bytes are pushed
// in, in order, and the stage passes what it makes of them to the next one. Stages may change
// the bytes they are given in place (the decipher does).
class ItemSink {
 public:
  static constexpr std::int64_t kUnlimited = std::numeric_limits<std::int64_t>::max();

  virtual ~ItemSink() = default;

  // Takes `data`. False stops the path: the user cancelled, a write was given up, the data
  // is damaged or runs past the item's recorded size.
  virtual bool Write(std::span<std::uint8_t> data) = 0;
  // The most bytes the rest of the path takes before it stops; a stage that makes bytes (the
  // inflater) makes no more than this in one step, so a zip bomb costs no memory or disk.
  virtual std::int64_t Room() const { return kUnlimited; }
  // The stage has seen the end of its data (the deflate stream's last block) and needs no
  // more input.
  virtual bool Ended() const { return false; }
};

}  // namespace qm::archive
