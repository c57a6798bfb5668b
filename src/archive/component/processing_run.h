#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace qm::archive {

class ItemLookahead;

// What one run of the processing loop keeps from item to item: its outcome counts and the
// extract step's caches. Each run starts from a fresh one, so nothing of one run (a folder
// made, a base folder resolved, a folder held open) is taken for true in the next.
struct ProcessingRun {
  // Items whose step finished in full, and those it passed over by decision.
  std::int32_t completed_file_count = 0;
  std::int32_t kept_file_count = 0;
  // The folder the extract step made last: items of one folder follow each other, so most
  // need no system call to make theirs.
  std::u16string last_made_dir;
  // The folder last found free of links on the way from the base folder.
  std::u16string link_checked_dir;
  // The base folder made absolute once (`resolved_base` for `resolved_base_of`), so that no
  // item asks for the current directory again.
  std::u16string resolved_base_of;
  std::u16string resolved_base;
  // The folder the extract step last wrote a file in, held open for the next ones.
  std::unique_ptr<platform::Folder> destination_folder;
  // Whether the folder last asked about lies on a removable drive (FlushBuffers).
  std::u16string removable_checked_dir;
  bool removable_dir = false;
  // The running extract or test loop's reading ahead (owned by the loop), for its own items.
  ItemLookahead* lookahead = nullptr;
};

}  // namespace qm::archive
