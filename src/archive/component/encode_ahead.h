#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "archive/base_archiver.h"
#include "archive/data/compression_worker.h"
#include "archive/data/whole_source.h"

namespace qm::archive {

// The commit's second processor: the sources of the new items after the one being written are
// read (on the caller's thread, as every system call) and deflated by a CompressionWorker
// while the caller writes, so that an item's turn finds its data compressed. Only sources that
// fit in one encoder chunk go ahead, at most a few MiB of them at a time; an item whose source
// could not be read ahead, or changed its settings since, is encoded at its turn as ever.
// Events and writes keep their order: reading ahead emits no event and writes nothing.
class BaseArchiver::EncodeAhead {
 public:
  explicit EncodeAhead(BaseArchiver& owner) : owner_(owner) {}
  EncodeAhead(const EncodeAhead&) = delete;
  EncodeAhead& operator=(const EncodeAhead&) = delete;

  // Item `index` (a source on disk) is about to be encoded: reads the sources after it up to
  // the window and answers its own, compressed; null where it goes the ordinary way.
  std::shared_ptr<WholeSource> Take(std::int32_t index);
  // Item `index` left the directory: those after it moved down one place.
  void Dropped(std::int32_t index);

 private:
  struct Ahead {
    std::int32_t index;
    std::u16string path;
    std::shared_ptr<WholeSource> source;
  };
  // Reads the sources from next_ on while the window has room.
  void Fill();
  // Whether item `index` is one whose source may go ahead.
  bool GoesAhead(const DirItem& item) const;
  std::shared_ptr<WholeSource> ReadWhole(const DirItem& item) const;
  void PopFront();

  BaseArchiver& owner_;
  std::deque<Ahead> ahead_;
  std::size_t bytes_ahead_ = 0;
  // The first item not looked at yet.
  std::int32_t next_ = 0;
  CompressionWorker worker_;
};

}  // namespace qm::archive
