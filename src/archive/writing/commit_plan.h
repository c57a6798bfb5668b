#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "archive/directory/dir_array.h"
#include "archive/directory/dir_item.h"

namespace qm::archive {

// Which records a commit writes, and in what order.
//
// The records of an archive need not lie in the order of its directory: a merge that replaces
// an entry leaves the replacement's record behind all the others, and other tools write such
// archives too. So a commit is not cut at the first changed entry of the directory but at the
// lowest file position of any old record that moves or changes (deleted, renamed, replaced):
// every record below it stays where it is, untouched, and every entry whose record lies at or
// after it is written again from there, in the order of the old file, followed by the new
// entries in the directory's order. The directory keeps the order the user sees.
//
// Entries are matched with their old records by the records' offsets, never by name: names
// may repeat (shaded jars, a rename onto a taken name), and a name says nothing about which
// of two records is meant.

struct PlannedEntry {
  // The entry in the directory being committed.
  std::int32_t index = 0;
  // The entry of the rollback copy whose record it carries over, or falls back to when its
  // new data cannot be written; -1 for an entry new in this update.
  std::int32_t old_index = -1;
};

struct CommitPlan {
  // No old record moves or changes: nothing is cut, and new records go where the old
  // directory starts.
  bool appends = true;
  // Otherwise: the file position of the lowest old record that moves or changes.
  std::uint64_t cut = 0;
  // The entries whose records are written at the cut, in the order they go into the file.
  std::vector<PlannedEntry> entries;
};

// The plan for committing `dir` over the archive that `old_dir` (the rollback copy)
// describes. `kRollbackIndex` when an entry that carries old data has no old record at its offset.
CommitPlan PlanCommit(const DirArray& old_dir, const DirArray& dir);

// Every entry of `dir` written anew, in the directory's order (a new set of volumes).
std::vector<PlannedEntry> EveryEntryInOrder(const DirArray& dir);

// The entry's data is its old record's: unchanged, or only renamed, re-attributed or
// re-commented in this update.
bool CarriesOldData(const DirItem& item);

// The offset of the old record that `item` stands for, taken before the entry is replaced so
// that a replacement whose source fails can fall back to it: its own record while it carries
// old data, the record an earlier replacement in this update stood for, none for an entry new
// in this update.
std::optional<std::uint64_t> OldRecordOffset(const DirItem& item);

}  // namespace qm::archive
