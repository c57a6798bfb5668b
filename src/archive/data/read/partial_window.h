#pragma once

#include <cstdint>

#include "platform/stream.h"

namespace qm::archive {

// The window [start, start + count) of an item that ExtractToBuffer asks for. Output before
// the chunk in which the window starts is written over (the output stream is rewound), so
// memory holds at most that chunk and what follows it; once the window is covered, decoding
// stops and the output stands at the window's first byte.
class PartialWindow {
 public:
  PartialWindow(platform::Stream& out, std::int64_t start, std::int64_t count)
      : out_(out), start_(start), count_(count) {}

  // After a chunk that took the bytes made from `before` to `after`. True once the window is
  // covered.
  bool AfterChunk(std::int64_t before, std::int64_t after);

 private:
  platform::Stream& out_;
  std::int64_t start_;
  std::int64_t count_;
  // Where the window starts in what the output still holds.
  std::int64_t offset_ = 0;
};

}  // namespace qm::archive
