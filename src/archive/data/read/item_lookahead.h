#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "archive/data/codecs/inflate_worker.h"
#include "archive/data/read/archive_window.h"
#include "archive/data/read/inflated_ahead.h"
#include "archive/data/read/kept_buffer.h"
#include "archive/directory/dir_array.h"
#include "platform/stream.h"

namespace qm::archive {

// Reading ahead for the processing loop's extract and test steps. When the loop comes to a
// small item that is not read yet, the records of it and of the small tagged items after it
// are read in one go (a window), and each is then decoded from memory, exactly as it would be
// from the archive. With a worker, the deflated ones are also inflated on a second thread
// ahead of their turn; an item takes that result only where its inflater would have made the
// same in one call itself. Events, prompts and every other step stay on the caller's thread.
class ItemLookahead {
 public:
  // `archive`: one file, the engine's own stream on it; no item's data runs past `data_end`
  // (where the directory starts). `with_worker`: inflate ahead on a second thread.
  ItemLookahead(platform::Stream& archive, std::int64_t data_end, bool with_worker);

  // The stream to decode item `index` of `dir` from, standing at its local header: the window,
  // filled first from this item on when it holds no part of it and the item is small. Nullptr
  // when it does not hold the item's records whole: the caller reads the archive itself.
  // platform::ReadError from the archive's reads.
  platform::Stream* StreamFor(const DirArray& dir, std::int32_t index);

  // The worker's result for the deflated data at `data_start`, when it inflated exactly
  // `input_size` bytes there with room `room`; waits for it, or inflates it here when the
  // worker has not started it. Valid until the next StreamFor.
  std::optional<InflatedAhead> Inflated(std::int64_t data_start, std::int64_t input_size,
                                        std::int64_t room);

 private:
  struct Extent {
    std::int64_t data_start = 0;
    std::int64_t data_size = 0;
  };
  // Where the item's data lies, by its local header in the window (nothing when the window
  // does not hold the header), its size cut at `data_end_` as the decoder cuts it.
  std::optional<Extent> DataExtent(const DirItem& item);
  // Fills the window with item `index` and the small tagged items after it; false when the
  // item does not suit.
  bool Fill(const DirArray& dir, std::int32_t index);
  // Jobs for the worker: the window's deflated items the inflater stage takes in one call.
  void StartJobs(const DirArray& dir, std::int32_t first, std::int32_t end);

  platform::Stream& archive_;
  std::int64_t data_end_;
  ArchiveWindow window_;
  // The worker's output buffers, one stretch per job; kept from window to window.
  KeptBuffer output_;
  // Last: its thread, which reads the window and fills the output buffers, stops first.
  std::unique_ptr<InflateWorker> worker_;
};

}  // namespace qm::archive
