#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "archive/base_archiver.h"
#include "archive/data/codecs/compression_worker.h"
#include "archive/data/write/whole_source.h"
#include "archive/writing/commit_plan.h"

namespace qm::archive {

// The commit's second processor: the sources of the new items after the one being written are
// read (on the caller's thread, as every system call) and deflated by a CompressionWorker
// while the caller writes, so that an item's turn finds its data compressed. Only sources that
// fit in one encoder chunk go ahead, at most a few MiB of them at a time; an item whose source
// could not be read ahead, or changed its settings since, is encoded at its turn as ever.
// Events and writes keep their order: reading ahead emits no event and writes nothing.
//
// It follows the commit's order of records (`order`, which the commit keeps up to date when
// an entry leaves the directory), not the directory's: the two differ where the records of an
// archive lie in another order than its entries.
class BaseArchiver::EncodeAhead {
 public:
  EncodeAhead(BaseArchiver& owner, const std::vector<PlannedEntry>& order)
      : owner_(owner), order_(order) {}
  EncodeAhead(const EncodeAhead&) = delete;
  EncodeAhead& operator=(const EncodeAhead&) = delete;

  // The commit has come to entry `turn` of the order.
  void SetTurn(std::size_t turn) { turn_ = turn; }
  // Item `index` (a source on disk, the entry of the current turn) is about to be encoded:
  // reads the sources after it up to the window and answers its own, compressed; null where
  // it goes the ordinary way.
  std::shared_ptr<WholeSource> Take(std::int32_t index);

 private:
  struct Ahead {
    std::size_t turn;
    std::u16string path;
    std::shared_ptr<WholeSource> source;
  };
  // Reads the sources from turn next_ on while the window has room.
  void Fill();
  // Whether item `index` is one whose source may go ahead.
  bool GoesAhead(const DirItem& item) const;
  std::shared_ptr<WholeSource> ReadWhole(const DirItem& item) const;
  void PopFront();

  BaseArchiver& owner_;
  const std::vector<PlannedEntry>& order_;
  std::deque<Ahead> ahead_;
  std::size_t bytes_ahead_ = 0;
  std::size_t turn_ = 0;
  // The first turn not looked at yet.
  std::size_t next_ = 0;
  CompressionWorker worker_;
};

}  // namespace qm::archive
